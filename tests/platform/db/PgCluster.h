#pragma once

#include <sys/types.h>
#include <memory>
#include <string>

#include "platform/db/SimDataSource.h"
#include "platform/posix/UniqueFd.h"

// A throwaway PostgreSQL server for the database suites: a cluster made by
// initdb in a temporary folder, listening on a free loopback port, with
// trusted logins for the user "kestrel". As root it runs as the "postgres"
// account (PostgreSQL refuses root). The first suite that asks starts it and
// the end of the process stops it; a watchdog process stops it and removes
// the folder also when the test process dies without cleaning up.
class CPgCluster {
public:
    // The running cluster, or nullptr with the reason it cannot run here.
    static CPgCluster* Shared(std::string& strWhyNot);

    ~CPgCluster();
    CPgCluster(const CPgCluster&) = delete;
    CPgCluster& operator=(const CPgCluster&) = delete;

    CSimDataSource::SServer Server() const;

private:
    CPgCluster() = default;
    bool Start(std::string& strWhyNot);
    int Run(const std::vector<std::string>& command);
    std::vector<std::string> AsServerUser(std::vector<std::string> command) const;
    std::string LogTail() const;

    std::string m_strFolder;
    std::string m_strBin;
    bool m_bAsPostgres = false;
    int m_nPort = 0;
    CUniqueFd m_watchdogPipe;  // its closing tells the watchdog to clean up
    pid_t m_watchdog = -1;
};
