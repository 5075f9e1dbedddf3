// The catalogue and task tables at 10,000 rows each on the SQLite data
// source: the conflict test, the player's listing and the file lookup.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/db/SimDataSource.h"
#include "record/FileListSet.h"
#include "schedule/TaskSet.h"

namespace {

constexpr int kRows = 10000;

template <typename F>
double AverageMs(int nRuns, F work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < nRuns; ++i) {
        work(i);
    }
    const std::chrono::duration<double, std::milli> span = std::chrono::steady_clock::now() - start;
    return span.count() / nRuns;
}

std::time_t FirstTask() {
    std::tm tm{};
    tm.tm_year = 2030 - 1900;
    tm.tm_mday = 1;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

int Run(const std::filesystem::path& folder) {
    CSimDataSource source(folder);
    const std::time_t first = FirstTask();

    // One-hour tasks two hours apart, stored as the new task dialog stores them.
    CTaskSet tasks(source.Driver());
    if (!tasks.Open("select * from Task")) {
        return 1;
    }
    for (int i = 0; i < kRows; ++i) {
        tasks.AddNew();
        tasks.m_BeginTime = first + i * 7200;
        tasks.m_EndTime = tasks.m_BeginTime + 3600;
        tasks.m_Channel = CTaskSet::ChannelText(0x80000000u | 10000);
        tasks.m_Memo = "task " + std::to_string(i);
        tasks.Update();
    }

    // Recordings catalogued in an order unlike their start times.
    CFileListSet files(source.Driver());
    if (!files.Open("select * from FileList")) {
        return 1;
    }
    std::vector<int> order(kRows);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::vector<int> ids;
    for (int i : order) {
        files.AddNew();
        files.m_BeginTime = CFileListSet::FormatBeginTime(first + i * 600);
        files.m_Duration = CFileListSet::FormatDuration(540);
        files.m_FileName = "/home/listener/RadioRecord/" + std::to_string(i) + ".wma";
        files.m_Channel = CFileListSet::FormatChannel(1, 9810);
        files.Update();
        ids.push_back(files.m_ID);
    }

    bool bAllFree = true;
    const double fFree = AverageMs(200, [&](int i) {
        // Alternately a free gap and a collision somewhere in the table.
        const std::time_t begin = first + (i * 37 % kRows) * 7200 + (i % 2 ? 3660 : 1800);
        const bool bFree = tasks.IsTimeFree(begin, begin + 1800);
        bAllFree = bAllFree && bFree == (i % 2 == 1);
    });

    std::size_t nListed = 0;
    const double fList = AverageMs(10, [&](int) {
        files.m_strFilter.clear();
        files.m_strSort = "BeginTime";
        nListed = 0;
        if (!files.Requery()) {
            return;
        }
        for (; !files.IsEOF(); files.MoveNext()) {
            nListed += !files.m_Channel.empty() && !files.m_BeginTime.empty();
        }
    });

    std::size_t nFound = 0;
    const double fLookup = AverageMs(500, [&](int i) {
        nFound += !files.GetFileName(ids[static_cast<std::size_t>(i * 7919 % kRows)]).empty();
    });

    if (!bAllFree || nListed != kRows || nFound != 500) {
        std::printf("wrong results: conflict test %s, %zu listed, %zu found\n",
                    bAllFree ? "right" : "wrong", nListed, nFound);
        return 1;
    }
    std::printf("IsTimeFree among %d tasks: %.3f ms (target 5 ms)\n", kRows, fFree);
    std::printf("listing %d recordings by BeginTime: %.1f ms (target 150 ms)\n", kRows, fList);
    std::printf("GetFileName among %d recordings: %.3f ms (target 2 ms)\n", kRows, fLookup);
    std::printf("db: IsTimeFree %.3f ms, listing %.1f ms, GetFileName %.3f ms\n", fFree, fList,
                fLookup);
    return 0;
}

}  // namespace

int main() {
    std::string strFolder =
        (std::filesystem::temp_directory_path() / "kestrel-bench-XXXXXX").string();
    if (!mkdtemp(strFolder.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    int nResult = 1;
    try {
        nResult = Run(strFolder);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "db bench: %s\n", e.what());
    }
    std::filesystem::remove_all(strFolder);
    return nResult;
}
