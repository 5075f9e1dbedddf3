#include "tests/platform/desktop/TraceCapture.h"

#include <QCoreApplication>

#include <chrono>
#include <mutex>
#include <thread>

#include "platform/trace/Trace.h"

namespace {

std::mutex g_mutex;
std::vector<std::string> g_lines;

void Collect(const char* tag, const char* message) {
    std::lock_guard lock(g_mutex);
    g_lines.push_back(std::string(tag) + ": " + message);
}

}  // namespace

CTraceCapture::CTraceCapture() {
    {
        std::lock_guard lock(g_mutex);
        g_lines.clear();
    }
    SetKestrelTraceSink(&Collect);
}

CTraceCapture::~CTraceCapture() {
    SetKestrelTraceSink(nullptr);
}

std::vector<std::string> CTraceCapture::Lines() const {
    std::lock_guard lock(g_mutex);
    return g_lines;
}

bool ProcessEventsUntil(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
