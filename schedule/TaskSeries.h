#pragma once

#include <ctime>
#include <string>

class CDbDriver;
class CScheduleBridge;
class CTaskRules;

// Keeps a repeating task going without the program: its Task row holds the
// next occurrence (with padding) and the scheduler holds that occurrence's
// work item. When an occurrence's work item starts the program, the row
// moves on and the next work item is registered before anything is recorded,
// so an occurrence that is missed or fails never stops the ones after it.
//
// UI thread only. What it is given must outlive it.
class CTaskSeries {
public:
    enum class EAdvance {
        Single,  // the task does not repeat (or is disabled): nothing to do
        Moved,   // the row stands for the next occurrence, registered
        Ended,   // the rule has no more occurrences; the row stays as it was
        Failed,  // the row or the work item could not be made; traced
    };

    CTaskSeries(CTaskRules& rules, CScheduleBridge& bridge, CDbDriver& database,
                std::string strStartFolder);

    // After the occurrence that starts at tCurrent began, was missed or failed:
    // the next one whose recording starts after both tCurrent and now.
    EAdvance Advance(int nTask, std::time_t tCurrent, std::time_t now);
    // Registers task nTask's work item for a recording starting at tStart.
    bool Register(int nTask, std::time_t tStart);

    // A disabled task keeps its row and rule and has no work item. Enabled
    // again, it is registered for its next recording that starts after now
    // (its row moved there when it repeats); false when it has none or
    // its rule or work item could not be made (traced). The row is the
    // task's Task row as it stands.
    bool SetEnabled(int nTask, bool bEnabled, std::time_t rowStart, std::time_t rowFinish,
                    std::time_t now);

private:
    CTaskRules& m_rules;
    CScheduleBridge& m_bridge;
    CDbDriver& m_database;
    std::string m_strStartFolder;
};
