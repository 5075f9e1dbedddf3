#pragma once

#include <ctime>
#include <memory>

#include <gtest/gtest.h>

#include "platform/db/SimDataSource.h"
#include "tests/support/TempDir.h"

// The fixture of every database suite: a fresh KestrelRadio data source with
// empty tables per test. It is a SQLite file of the test's own, or, when
// KESTREL_TEST_DB=postgresql, fresh tables on a throwaway PostgreSQL cluster;
// when that cluster cannot run here the test is skipped with the reason.
class CDbTest : public ::testing::Test {
protected:
    void SetUp() override;

    CSimDataSource& Source() { return *m_pSource; }
    CDbDriver& Driver() { return m_pSource->Driver(); }
    const CTempDir& Folder() const { return m_folder; }

    // A local calendar time, as the program's dialogs make them.
    static std::time_t LocalTime(int nYear, int nMonth, int nDay, int nHour, int nMinute);

private:
    CTempDir m_folder;
    std::unique_ptr<CSimDataSource> m_pSource;
};
