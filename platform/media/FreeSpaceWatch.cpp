#include "platform/media/FreeSpaceWatch.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>

CFreeSpaceWatch::~CFreeSpaceWatch() {
    Close();
}

bool CFreeSpaceWatch::Open(const std::string& strFile) {
    Close();
    std::filesystem::path folder = std::filesystem::path(strFile).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    // A path descriptor needs no read permission on the folder.
    m_fdFolder = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return m_fdFolder >= 0;
}

void CFreeSpaceWatch::Close() {
    if (m_fdFolder >= 0) {
        close(m_fdFolder);
        m_fdFolder = -1;
    }
}

std::optional<uint64_t> CFreeSpaceWatch::FreeBytes() const {
    struct statvfs info {};
    if (m_fdFolder < 0 || fstatvfs(m_fdFolder, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}
