#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

// The system suite makes HID devices and plays into sound cards: it runs only
// inside the suite's own virtual machine, whose guest script says so.
int main(int argc, char** argv) {
    const char* pGuest = std::getenv("KESTREL_SYSTEM_GUEST");
    if (!pGuest || std::string(pGuest) != "1") {
        std::fprintf(stderr,
                     "%s belongs to the system suite and runs only inside its virtual machine "
                     "(ctest -L vm, tests/system/run-vm.sh)\n",
                     argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
