#include "platform/trace/Trace.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/UniqueFd.h"

namespace {

std::vector<std::string> g_lines;

void Collect(const char* tag, const char* message) {
    g_lines.push_back(std::string(tag) + ": " + message);
}

// What a fresh copy of this program writes to standard error when it traces
// one line: the switch is read once per process.
std::string StderrOfAFreshRun(const char* trace) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return "no pipe";
    }
    CUniqueFd readEnd(pipeFds[0]);
    CUniqueFd writeEnd(pipeFds[1]);
    pid_t child = fork();
    if (child == 0) {
        dup2(writeEnd.Get(), STDERR_FILENO);
        readEnd.Reset();
        trace ? setenv("KESTREL_TRACE", trace, 1) : unsetenv("KESTREL_TRACE");
        execl("/proc/self/exe", "profile_tests", "--gtest_filter=TraceTest.DISABLED_TracesOneLine",
              "--gtest_also_run_disabled_tests", "--gtest_brief=1", static_cast<char*>(nullptr));
        _exit(127);
    }
    writeEnd.Reset();
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(readEnd.Get(), buffer, sizeof(buffer))) > 0;) {
        text.append(buffer, static_cast<size_t>(n));
    }
    readEnd.Reset();
    waitpid(child, nullptr, 0);
    return text;
}

TEST(TraceTest, DISABLED_TracesOneLine) {
    KestrelTrace("TraceTest", "one line");
}

TEST(TraceTest, ASinkGetsEveryLineWhateverTheBuild) {
    g_lines.clear();
    SetKestrelTraceSink(&Collect);
    KestrelTrace("TraceTest", "%d and %s", 1, "two");
    SetKestrelTraceSink(nullptr);
    KestrelTrace("TraceTest", "after");
    EXPECT_EQ(g_lines, std::vector<std::string>{"TraceTest: 1 and two"});
}

TEST(TraceTest, StandardErrorGetsTheTraceOfADebugBuildOrWhenAskedFor) {
    const std::string line = "[TraceTest] one line\n";
#ifdef KESTREL_DEBUG_BUILD
    const std::string byDefault = line;
#else
    const std::string byDefault;
#endif
    EXPECT_EQ(StderrOfAFreshRun(nullptr), byDefault);
    EXPECT_EQ(StderrOfAFreshRun("0"), byDefault);
    EXPECT_EQ(StderrOfAFreshRun("1"), line);
}

}  // namespace
