#pragma once

#include <cstdint>
#include <string>

#include "tests/support/TempDir.h"

// A small tmpfs of its own, mounted on a fresh temporary folder, where
// recordings meet a full disk in earnest. Mounting needs root (or
// CAP_SYS_ADMIN); where it fails, IsMounted() is false and Problem() says
// why, so that the test can skip. Unmounted when the object goes.
class CSmallDisk {
public:
    explicit CSmallDisk(uint64_t nBytes);
    ~CSmallDisk();

    CSmallDisk(const CSmallDisk&) = delete;
    CSmallDisk& operator=(const CSmallDisk&) = delete;

    bool IsMounted() const { return m_bMounted; }
    const std::string& Problem() const { return m_strProblem; }
    std::string File(const std::string& name) const;

    uint64_t FreeBytes() const;
    // Takes space with filler files until at most nBytes stay free (the disk
    // counts in pages). Safe while a recording writes to the disk.
    bool LeaveFree(uint64_t nBytes);
    // Removes the filler.
    void Unfill();

private:
    CTempDir m_dir;  // outlives the mount on it
    std::string m_strMount;
    bool m_bMounted = false;
    std::string m_strProblem;
    int m_nFillers = 0;
};
