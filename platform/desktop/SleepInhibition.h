#pragma once

#include <utility>

#include "platform/posix/UniqueFd.h"

// One hold on the machine's sleep: the machine stays awake until the hold is
// released or destroyed. An empty hold holds nothing. Holds move, never copy.
class CSleepInhibition {
public:
    CSleepInhibition() = default;
    // fd: the descriptor whose being open is the hold.
    explicit CSleepInhibition(CUniqueFd fd) : m_fd(std::move(fd)) {}

    bool IsHeld() const { return m_fd.IsValid(); }
    void Release() { m_fd.Reset(); }

private:
    CUniqueFd m_fd;
};
