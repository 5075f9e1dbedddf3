#include "platform/media/FreeSpaceWatch.h"

#include <fcntl.h>
#include <sys/statvfs.h>

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
    m_folder.Reset(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return m_folder.IsValid();
}

void CFreeSpaceWatch::Close() {
    m_folder.Reset();
}

std::optional<uint64_t> CFreeSpaceWatch::FreeBytes() const {
    struct statvfs info {};
    if (!m_folder.IsValid() || fstatvfs(m_folder.Get(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}
