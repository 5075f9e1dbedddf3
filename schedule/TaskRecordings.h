#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/base/Status.h"
#include "platform/names/KestrelNames.h"
#include "schedule/TableConnection.h"

class CDbDriver;

// Which task made which catalogued recording: one row per FileList row a
// scheduled recording added, in the table TaskRecording beside FileList
// (made when it is missing; FileList keeps its own layout). A task's
// retention reads it.
//
// UI thread only. Failures are traced; none throws.
class CTaskRecordings {
public:
    static constexpr const char* kTable = "TaskRecording";

    struct SRecording {
        int nFile = 0;  // the FileList row
        int nTask = 0;
        std::time_t started = 0;
    };

    explicit CTaskRecordings(CDbDriver& driver,
                             std::string strConnect = KestrelNames::kConnectString);
    ~CTaskRecordings();

    CTaskRecordings(const CTaskRecordings&) = delete;
    CTaskRecordings& operator=(const CTaskRecordings&) = delete;

    CStatus Open();
    CStatus Record(const SRecording& recording);
    // The task's recordings, earliest start first.
    std::vector<SRecording> ForTask(int nTask);
    CStatus Forget(int nFile);

    static std::string CreateStatement();

private:
    CTableConnection m_table;
};
