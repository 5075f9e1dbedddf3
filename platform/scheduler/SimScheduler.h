#pragma once

#include <mutex>

#include "platform/scheduler/SchedulerServices.h"
#include "platform/scheduler/SimSchedulerControl.h"

// A scheduler held in memory. It starts running; items keep the order in
// which they were registered.
class CSimScheduler : public CSchedulerServices, public CSimSchedulerControl {
public:
    CSimScheduler();

    ESchedulerState State(std::string& strReason) override;
    bool IsRunning() override;
    int Start() override;
    int Submit(const SWorkItem& item, std::string& strError) override;
    bool Remove(const std::string& strName, const std::string& strOwner) override;

    std::vector<SWorkItem> WorkItems() const override;
    std::optional<SWorkItem> WorkItem(const std::string& strName) const override;
    int Fire(const std::string& strName) override;
    void SetLauncher(Launcher launcher) override;
    void SetRunning(bool bRunning) override;
    int StartCount() const override;
    void SetFailure(EOperation operation, int nError) override;
    void SetDenied(bool bDenied) override;

    // The default launcher: starts the item's program as the scheduler would.
    static int LaunchProgram(const SWorkItem& item);

private:
    std::vector<SWorkItem>::iterator Find(const std::string& strName, const std::string& strOwner);

    mutable std::mutex m_mutex;
    std::vector<SWorkItem> m_items;
    Launcher m_launcher;
    bool m_bRunning = true;
    int m_nStarts = 0;
    int m_nStartFailure = 0;
    int m_nSubmitFailure = 0;
    bool m_bRemoveFails = false;
    bool m_bDenied = false;
};
