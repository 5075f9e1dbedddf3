#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// What each start of the scheduler probe recorded in a directory.
struct SProbeRun {
    std::vector<std::string> arguments;
    std::string strCwd;
    std::string strDisplay;
};

inline std::vector<SProbeRun> ReadProbeRuns(const std::filesystem::path& directory) {
    std::vector<SProbeRun> runs;
    std::ifstream in(directory / "probe-runs.txt");
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine == "run") {
            runs.emplace_back();
        } else if (runs.empty()) {
            continue;
        } else if (strLine.starts_with("arg ")) {
            runs.back().arguments.push_back(strLine.substr(4));
        } else if (strLine.starts_with("cwd ")) {
            runs.back().strCwd = strLine.substr(4);
        } else if (strLine.starts_with("display ")) {
            runs.back().strDisplay = strLine.substr(8);
        }
    }
    return runs;
}

// A folder name no shell word survives unquoted.
inline const char* HostileName() {
    return "it's a \"$HOME\" $(touch pwned) `touch pwned` dir";
}
