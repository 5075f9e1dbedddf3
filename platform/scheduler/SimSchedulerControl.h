#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/scheduler/SchedulerServices.h"

// What tests and demo mode do to the simulated scheduler: look at the work
// items it holds, run one as if its minute had come, and make its operations
// fail.
class CSimSchedulerControl {
public:
    enum class EOperation { Start, Submit, Remove };
    // Runs a fired item's program; returns its exit status.
    using Launcher = std::function<int(const SWorkItem&)>;

    virtual ~CSimSchedulerControl() = default;

    virtual std::vector<SWorkItem> WorkItems() const = 0;

    // The first item of that name, whatever its owner.
    virtual std::optional<SWorkItem> WorkItem(const std::string& strName) const = 0;

    // Runs the item's program (its arguments, working directory and
    // environment) and waits for it, then drops the item as a one-time job
    // that has run. Returns the program's exit status, -1 when there is no
    // such item, the daemon is stopped or the program could not be started.
    virtual int Fire(const std::string& strName) = 0;
    // Replaces the real start of the program, e.g. to hand the task number to
    // a window under test. The default launcher starts the program.
    virtual void SetLauncher(Launcher launcher) = 0;

    // The daemon's state as IsRunning() reports it; Start() sets it.
    virtual void SetRunning(bool bRunning) = 0;
    virtual int StartCount() const = 0;
    // Every later call of the operation fails with this errno value (Remove
    // returns false); 0 lets it succeed again.
    virtual void SetFailure(EOperation operation, int nError) = 0;
    // Keeps this user out as the scheduler's access rules would: State()
    // says Denied and Submit() fails with EACCES.
    virtual void SetDenied(bool bDenied) = 0;
};
