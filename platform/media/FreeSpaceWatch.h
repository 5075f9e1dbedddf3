#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/posix/UniqueFd.h"

// The free space of the file system a recording goes to, read through a
// descriptor of the file's folder: fstatvfs() is one cheap system call, fit
// for every buffer, and follows the folder when it is renamed.
//
// Contract: Open() and Close() on one thread while no other thread reads;
// FreeBytes() from any thread while open.
class CFreeSpaceWatch {
public:
    CFreeSpaceWatch() = default;
    ~CFreeSpaceWatch();

    CFreeSpaceWatch(const CFreeSpaceWatch&) = delete;
    CFreeSpaceWatch& operator=(const CFreeSpaceWatch&) = delete;

    // Watches the folder that holds (or will hold) the file. False when the
    // folder cannot be opened; FreeBytes() then knows nothing.
    bool Open(const std::string& strFile);
    void Close();

    // Bytes an unprivileged writer may still use (what df shows as
    // available); nothing when unknown.
    std::optional<uint64_t> FreeBytes() const;

private:
    CUniqueFd m_folder;
};
