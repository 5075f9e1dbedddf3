#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/TempDir.h"

// A message bus daemon of the test's own, listening in the test's temporary
// folder: the services under test and the fakes meet there, never on the
// machine's session or system bus. Stopped when the object goes.
class CPrivateBus {
public:
    // strFailingService: a name the bus lists as one it can start, whose
    // start fails; empty for none.
    explicit CPrivateBus(const std::string& strFailingService = {});
    ~CPrivateBus();

    CPrivateBus(const CPrivateBus&) = delete;
    CPrivateBus& operator=(const CPrivateBus&) = delete;

    bool IsRunning() const { return m_pid > 0; }
    // Why the daemon did not start.
    const std::string& Error() const { return m_strError; }
    const std::string& Address() const { return m_strAddress; }
    // An address in the same folder where no bus listens.
    std::string AbsentAddress() const;

    void Stop();

private:
    bool Start(const std::string& strFailingService);

    CTempDir m_dir;
    pid_t m_pid = -1;
    std::string m_strAddress;
    std::string m_strError;
};
