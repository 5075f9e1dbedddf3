#include "tests/platform/media/SmallDisk.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/posix/UniqueFd.h"

CSmallDisk::CSmallDisk(uint64_t nBytes) : m_strMount((m_dir.Path() / "disk").string()) {
    std::filesystem::create_directory(m_strMount);
    const std::string options = "size=" + std::to_string(nBytes) + ",mode=0755";
    if (mount("kestrel-test", m_strMount.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
              options.c_str()) != 0) {
        m_strProblem = std::string("mount -t tmpfs: ") + std::strerror(errno);
        return;
    }
    m_bMounted = true;
}

CSmallDisk::~CSmallDisk() {
    if (!m_bMounted) {
        return;
    }
    // A file still open somewhere keeps the disk busy: detach it then, so
    // that it goes as soon as that file is closed.
    if (umount2(m_strMount.c_str(), 0) != 0) {
        umount2(m_strMount.c_str(), MNT_DETACH);
    }
}

std::string CSmallDisk::File(const std::string& name) const {
    return m_strMount + "/" + name;
}

uint64_t CSmallDisk::FreeBytes() const {
    struct statvfs info {};
    if (statvfs(m_strMount.c_str(), &info) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
}

bool CSmallDisk::LeaveFree(uint64_t nBytes) {
    // A writer racing the filler takes pages in between; try again with what
    // is left until the disk is where it should be.
    for (int nTry = 0; nTry < 100; ++nTry) {
        const uint64_t nFree = FreeBytes();
        if (nFree <= nBytes) {
            return true;
        }
        const std::string path = File("filler-" + std::to_string(m_nFillers++));
        CUniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fd.IsValid()) {
            return false;
        }
        const int nError = posix_fallocate(fd.Get(), 0, static_cast<off_t>(nFree - nBytes));
        fd.Reset();
        if (nError != 0 && nError != ENOSPC) {
            return false;
        }
        if (nError == ENOSPC) {
            std::filesystem::remove(path);
        }
    }
    return FreeBytes() <= nBytes;
}

void CSmallDisk::Unfill() {
    for (int n = 0; n < m_nFillers; ++n) {
        std::error_code ignored;
        std::filesystem::remove(File("filler-" + std::to_string(n)), ignored);
    }
    m_nFillers = 0;
}
