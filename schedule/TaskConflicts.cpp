#include "schedule/TaskConflicts.h"

#include <algorithm>

#include "schedule/Recurrence.h"

namespace {

struct SSpan {
    size_t nOwner = 0;
    std::time_t start = 0;
    std::time_t finish = 0;
};

// A repeating task's row stands for its next occurrence only.
void AddSpans(const CTaskConflicts::STask& task, size_t nOwner, std::time_t from, std::time_t to,
              std::vector<SSpan>& spans) {
    if (task.rule && !task.rule->bEnabled) {
        return;
    }
    if (task.rule && task.rule->Repeats()) {
        for (const CRecurrence::SSpan& span : CRecurrence(*task.rule).Within(from, to)) {
            if (span.finish >= task.start) {  // not those already behind its row
                spans.push_back({nOwner, span.start, span.finish});
            }
        }
        return;
    }
    if (task.finish >= from && task.start <= to) {
        spans.push_back({nOwner, task.start, task.finish});
    }
}

}  // namespace

std::vector<CTaskConflicts::SConflict> CTaskConflicts::Find(const std::vector<STask>& tasks,
                                                            std::time_t from, std::time_t to) {
    std::vector<SSpan> spans;
    for (size_t n = 0; n < tasks.size(); ++n) {
        AddSpans(tasks[n], n, from, to, spans);
    }
    std::sort(spans.begin(), spans.end(),
              [](const SSpan& a, const SSpan& b) { return a.start < b.start; });
    std::vector<SConflict> conflicts;
    const auto known = [&conflicts](int nA, int nB) {
        return std::any_of(conflicts.begin(), conflicts.end(), [&](const SConflict& c) {
            return (c.nFirst == nA && c.nSecond == nB) || (c.nFirst == nB && c.nSecond == nA);
        });
    };
    for (size_t i = 0; i < spans.size(); ++i) {
        for (size_t j = i + 1; j < spans.size() && spans[j].start <= spans[i].finish; ++j) {
            const int nA = tasks[spans[i].nOwner].nTask;
            const int nB = tasks[spans[j].nOwner].nTask;
            if (nA != nB && !known(nA, nB)) {
                conflicts.push_back({nA, nB, spans[j].start});
            }
        }
    }
    return conflicts;
}
