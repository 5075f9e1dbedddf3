#pragma once

#include <ctime>
#include <string>
#include <utility>
#include <vector>

// One work item: a program that the scheduler starts once, at a given minute.
struct SWorkItem {
    std::string strName;
    // The data source the item belongs to; items of one name but different
    // owners are different items. Empty: no owner (as older Kestrels made).
    std::string strOwner;
    // Absolute path of the program; it is started as it stands, never through a shell.
    std::string strApplication;
    // The program's arguments, each passed on as one argument.
    std::vector<std::string> arguments;
    // Where the program starts; empty leaves it to the scheduler.
    std::string strWorkingDirectory;
    std::string strComment;
    // The local minute at which the item runs (seconds are ignored).
    std::time_t begin = 0;
    // Set for the started program on top of its usual environment: what it
    // needs to reach the graphical session it was registered from.
    std::vector<std::pair<std::string, std::string>> environment;
};

// Whether work items can be registered for this user now.
enum class ESchedulerState {
    Usable,
    Stopped,  // the daemon does not run; Start() may help
    Denied,   // the scheduler's access rules keep this user out
};

// The operating system's task scheduler as the schedule bridge uses it.
//
// Contract: called from the UI thread; every call is complete when it returns
// and no connection is held between calls. Work items are the current user's
// and are told apart by name and owner: an item without an owner matches its
// name whatever the owner asked for; a name is registered at most once per
// owner.
class CSchedulerServices {
public:
    virtual ~CSchedulerServices() = default;

    // What stands in the way of scheduling now, with a short reason for the
    // log in strReason (empty when Usable). A denial wins over a stopped
    // daemon, which would not help that user.
    virtual ESchedulerState State(std::string& strReason) = 0;

    // True when the scheduler's daemon is running.
    virtual bool IsRunning() = 0;
    // Makes sure the daemon runs: 0 when it does afterwards, otherwise an
    // errno value saying why it could not be started.
    virtual int Start() = 0;
    // Registers the item. Returns 0 on success; EEXIST when an item of that
    // name and owner is already registered (that one is left as it is);
    // EACCES when the scheduler refused this user; otherwise an errno value
    // or the scheduler's exit status, with the scheduler's own words (if
    // any) in strError.
    virtual int Submit(const SWorkItem& item, std::string& strError) = 0;
    // Removes the items of that name and owner, also while they run; false
    // when there is none or the scheduler refused.
    virtual bool Remove(const std::string& strName, const std::string& strOwner) = 0;
};
