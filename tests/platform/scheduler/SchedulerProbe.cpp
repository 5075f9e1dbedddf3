// Stands in for the program a work item starts: appends what it was started
// with to probe-runs.txt in its working directory.
#include <cstdlib>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
    std::ofstream out("probe-runs.txt", std::ios::app);
    out << "run\n";
    for (int i = 1; i < argc; ++i) {
        out << "arg " << argv[i] << "\n";
    }
    std::error_code error;
    out << "cwd " << std::filesystem::current_path(error).string() << "\n";
    const char* display = std::getenv("DISPLAY");
    out << "display " << (display ? display : "-") << "\n";
    return out ? 0 : 1;
}
