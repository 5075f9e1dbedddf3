#pragma once

#include <ctime>
#include <optional>
#include <vector>

#include "schedule/TaskRule.h"

// Which stored tasks would record at the same time within a span of days:
// a task added elsewhere, or one enabled again, may collide with another,
// which the new task checks could not refuse. Each pair is named once, at
// the first second they share; ends are included, as in the Task table's
// own test.
class CTaskConflicts {
public:
    struct STask {
        int nTask = 0;
        std::time_t start = 0;  // its Task row: the next recording, padded
        std::time_t finish = 0;
        std::optional<STaskRule> rule;  // disabled ones take no part
    };
    struct SConflict {
        int nFirst = 0;
        int nSecond = 0;
        std::time_t when = 0;
    };

    static std::vector<SConflict> Find(const std::vector<STask>& tasks, std::time_t from,
                                       std::time_t to);
};
