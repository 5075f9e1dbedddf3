#include "tests/platform/db/DbTest.h"

#include <cstdlib>
#include <string>

#include "tests/platform/db/PgCluster.h"

void CDbTest::SetUp() {
    const char* szBackEnd = std::getenv("KESTREL_TEST_DB");
    if (!szBackEnd || std::string(szBackEnd) != "postgresql") {
        m_pSource = std::make_unique<CSimDataSource>(m_folder.Path());
        return;
    }
    std::string strWhyNot;
    CPgCluster* pCluster = CPgCluster::Shared(strWhyNot);
    if (!pCluster) {
        // The words "PostgreSQL is not available" make CTest report the run as skipped.
        GTEST_SKIP() << "PostgreSQL is not available: " << strWhyNot;
    }
    m_pSource = std::make_unique<CSimDataSource>(m_folder.Path(), pCluster->Server());
}

std::time_t CDbTest::LocalTime(int nYear, int nMonth, int nDay, int nHour, int nMinute) {
    std::tm tm{};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}
