#pragma once

#include <string>

#include "platform/desktop/SleepInhibition.h"

// Keeps the machine from suspending while a recording runs.
//
// Contract: UI thread only. Inhibit() returns within a few seconds at most.
// Holds are independent of each other and of the inhibitor, which may go
// first. An empty hold means the machine may sleep as usual (no system bus,
// no logind, refused); that is traced once and is never an error for the
// caller, who records anyway. strWhy is shown to the user by the system, e.g.
// when they try to suspend.
class CSleepInhibitor {
public:
    virtual ~CSleepInhibitor() = default;

    virtual CSleepInhibition Inhibit(const std::string& strWhy) = 0;
};
