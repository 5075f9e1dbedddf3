#pragma once

#include <ctime>
#include <iostream>
#include <string>

#include "platform/base/Status.h"

class CSchedulerServices;

// Makes sure the operating system's scheduler runs, and registers and deletes
// the work items that start the program for a scheduled recording. Holds no
// connection between calls; the fields keep the last values set.
//
// Callers fill the application (OwnExecutablePath(), platform/scheduler/
// ExecutablePath.h), parameters, working directory and comment before
// CreateWorkItem(), and the owner before any call. Work items are named
// "KestrelRadio_Record_%d" after the task's identifier.
class CScheduleBridge {
public:
    explicit CScheduleBridge(CSchedulerServices& services, std::ostream& out = std::cout,
                             std::ostream& err = std::cerr);
    virtual ~CScheduleBridge() = default;

    CScheduleBridge(const CScheduleBridge&) = delete;
    CScheduleBridge& operator=(const CScheduleBridge&) = delete;

    // Message keys of what keeps a work item from being made.
    static constexpr const char* kNotRegisteredKey = "MESSAGE_21";
    static constexpr const char* kStoppedKey = "MESSAGE_25";
    static constexpr const char* kDeniedKey = "MESSAGE_26";

    // 0 when the scheduler runs or has been started, otherwise an errno value.
    int StartScheduler();
    // Starts the scheduler when it is stopped and tells whether a work item
    // registered now would run. When not, the status's message is the key of
    // the message that tells the user what to do, and the reason goes to the
    // error stream.
    CStatus PrepareScheduler();
    // Stores begin and name, registers the work item and returns 1 whatever
    // came of it; LastRegistration() keeps the outcome.
    int CreateWorkItem(std::time_t begin, const std::string& strName);
    // The work item that starts this program for task nTask in the folder
    // given: application, parameters, comment and name as every caller sets
    // them. The owner is the caller's to set first.
    int CreateTaskWorkItem(int nTask, std::time_t begin, const std::string& strWorkingDirectory);
    // True when the scheduler removed a work item of that name and owner.
    bool DeleteWorkItem(const std::string& strName);

    // 1 when the last registration succeeded, 0 when it failed (a work item
    // of that name existed, or the scheduler refused).
    int LastRegistration() const { return m_nRegistration; }
    // Why the last registration failed, as a message
    // key; empty after success. CreateWorkItem() answers 1 either way, so a
    // registration's failure can only be told here.
    const std::string& FailureKey() const { return m_strFailureKey; }

    std::string m_strApplication;
    // Blank-separated words, each passed to the program as one argument.
    std::string m_strParameters;
    std::string m_strWorkingDirectory;
    std::string m_strComment;
    std::string m_strName;
    std::time_t m_Begin = 0;
    // The data source whose task the work item starts (CDataSourceId): it
    // marks the item, and the program gets it as a switch before the
    // parameters. Empty: items as older Kestrels made them.
    std::string m_strOwner;

private:
    int RegisterWorkItem();

    CSchedulerServices& m_services;
    std::ostream& m_out;
    std::ostream& m_err;
    int m_nRegistration = 0;
    std::string m_strFailureKey;
};
