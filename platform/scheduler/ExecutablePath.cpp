#include "platform/scheduler/ExecutablePath.h"

#include <filesystem>
#include <system_error>

std::string OwnExecutablePath() {
    std::error_code error;
    std::string strPath = std::filesystem::read_symlink("/proc/self/exe", error).string();
    if (error) {
        return {};
    }
    // A program file replaced while it runs (an update, a rebuild) reads as
    // "<path> (deleted)"; the new file at that path is the one to start.
    const std::string strDeleted = " (deleted)";
    if (strPath.size() > strDeleted.size() &&
        strPath.compare(strPath.size() - strDeleted.size(), strDeleted.size(), strDeleted) == 0) {
        strPath.resize(strPath.size() - strDeleted.size());
    }
    return strPath;
}
