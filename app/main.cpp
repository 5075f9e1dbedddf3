#include <QApplication>

#include <clocale>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/Backends.h"
#include "app/RadioCore.h"
#include "platform/profile/Profile.h"
#include "platform/trace/Trace.h"
#include "skin/QtMessageTarget.h"

namespace {

const char* KindName(CBackends::EKind eKind) {
    return eKind == CBackends::EKind::Simulated ? "demo mode (simulated receiver and sound card)"
                                                : "Linux back-ends";
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // Profile, language file and catalogue numbers are written with a point.
    std::setlocale(LC_NUMERIC, "C");

    std::unique_ptr<CBackends> pBackends;
    try {
        pBackends = std::make_unique<CBackends>(CBackends::KindFromEnvironment());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kestrel: %s\n", error.what());
        return 1;
    }
    CProfile profile(CProfile::DefaultPath());
    CQtMessageTarget window([](uint32_t message, uintptr_t, intptr_t) -> intptr_t {
        KestrelTrace("app", "message 0x%x", message);
        return 0;
    });
    CRadioCore core(pBackends->Services(), profile);
    core.Init(&window);

    std::printf("Kestrel Radio, %s: receiver %s, %d capture device(s), catalogue %s.\n",
                KindName(pBackends->Kind()), core.m_nDevicePresent ? "present" : "not found",
                core.m_audioGraph.DeviceCount(), core.m_fileListSet.IsOpen() ? "open" : "not open");
    std::puts("The main window is not there yet.");
    return 0;
}
