#pragma once

#include <string>
#include <vector>

// What tests and demo mode do to the simulated inhibitor: see which holds are
// still held and take logind away.
class CSimSleepInhibitorControl {
public:
    virtual ~CSimSleepInhibitorControl() = default;

    // The reasons of the holds not yet released, in the order they were taken.
    virtual std::vector<std::string> HeldReasons() = 0;
    // Without logind Inhibit() hands out empty holds. On at first.
    virtual void SetLogindAvailable(bool bAvailable) = 0;
};
