#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "tests/app/CoreRig.h"

// The core rig with the few looks into the Task table and the message boxes
// that the schedule windows' tests share.
class CTaskRig : public CCoreRig {
public:
    // Stores a task as the new task dialog does; returns its identifier.
    int StoreTask(std::time_t begin, std::time_t end, const std::string& strChannel,
                  const std::string& strMemo = {}) {
        CTaskSet& tasks = Core().TaskSet();
        tasks.AddNew();
        tasks.m_BeginTime = begin;
        tasks.m_EndTime = end;
        tasks.m_Channel = strChannel;
        tasks.m_Memo = strMemo;
        tasks.Update();
        return tasks.m_ID;
    }
    std::int64_t TaskCount() { return m_dataSource.CountRows("Task"); }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const SShownMessageBox& box : m_boxes.Shown()) {
            texts.push_back(box.text);
        }
        return texts;
    }
    // The start of the minute after the simulated clock's now.
    std::time_t NextMinute() {
        const std::time_t now = m_clock.Now();
        return now - now % 60 + 60;
    }
};
