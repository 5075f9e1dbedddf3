// Time from handing a register image to the device link (SetOutputReport and
// Send, as every tune does) to its arrival at the simulated receiver: the
// read thread's wake-up, its copy and the write through the socket pair.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "device/HidDevice.h"
#include "platform/hid/SimHidServices.h"
#include "platform/window/SimMessageTarget.h"
#include "sim/receiver/SimReceiver.h"

namespace {

constexpr int kWrites = 10000;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

}  // namespace

int main() {
    auto receiver = std::make_shared<CSimReceiver>();
    CSimHidServices services;
    services.AddInterface(CSimReceiver::Interface(receiver));
    CSimMessageTarget window;
    CHidDevice device(services);
    if (!device.Open(&window, WM_DEVICE_REPORT)) {
        std::fprintf(stderr, "the simulated receiver did not open\n");
        return 1;
    }

    std::vector<double> micros;
    micros.reserve(kWrites);
    uint8_t image[8] = {0x28, 0xAC, 0x07, 0x03, 0x29, 0xD2, 0x00, 0x10};
    for (int i = 0; i < kWrites; ++i) {
        image[1] = static_cast<uint8_t>(i);
        receiver->ClearReports();
        const auto start = std::chrono::steady_clock::now();
        device.SetOutputReport(image, sizeof(image));
        device.Send();
        if (!receiver->WaitForReports(1, std::chrono::seconds(2))) {
            std::fprintf(stderr, "write %d never arrived\n", i);
            return 1;
        }
        const auto arrival = receiver->Reports().back().arrival;
        micros.push_back(std::chrono::duration<double, std::micro>(arrival - start).count());
    }
    std::printf("device link: %d writes, Send to arrival at the receiver\n", kWrites);
    std::printf("median %.1f us, p99 %.1f us\n", Percentile(micros, 0.5), Percentile(micros, 0.99));
    return 0;
}
