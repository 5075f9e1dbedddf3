// kestrel-uhid-receiver: the simulated receiver as a real HID device, made
// through /dev/uhid (root, or a user allowed on /dev/uhid). The real hidraw
// back-end finds it as it would find the receiver. Driven by lines on
// standard input, answered one line each on standard output:
//
//   plug      create the device          -> "plugged" or "error <reason>"
//   unplug    destroy it                 -> "unplugged"
//   state     what it is tuned to        -> "state <FM|AM|-> <frequency> mode <n> muted <0|1>"
//   reports   output reports received    -> "reports <count>"
//   quit      destroy it and end         -> "bye"
//
// It starts plugged in and says so ("plugged"), or with --unplugged not.

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "sim/receiver/SimReceiver.h"
#include "sim/uhid/UhidReceiver.h"

namespace {

void Usage() {
    std::cerr << "usage: kestrel-uhid-receiver [--vendor HEX] [--product HEX] [--name TEXT]\n"
                 "                             [--am-plan 9|10] [--unplugged]\n";
}

bool ParseId(const char* pText, uint16_t& nId) {
    char* pEnd = nullptr;
    const unsigned long nValue = std::strtoul(pText, &pEnd, 16);
    if (pEnd == pText || *pEnd != '\0' || nValue > 0xFFFF) {
        return false;
    }
    nId = static_cast<uint16_t>(nValue);
    return true;
}

struct SOptions {
    CUhidReceiver::SIdentity identity;
    int nAmPlan = 9;
    bool bPlugged = true;
};

bool ParseOptions(int argc, char** argv, SOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string strArg = argv[i];
        const bool bHasValue = i + 1 < argc;
        if (strArg == "--unplugged") {
            options.bPlugged = false;
        } else if (strArg == "--vendor" && bHasValue) {
            if (!ParseId(argv[++i], options.identity.nVendorID)) {
                return false;
            }
        } else if (strArg == "--product" && bHasValue) {
            if (!ParseId(argv[++i], options.identity.nProductID)) {
                return false;
            }
        } else if (strArg == "--name" && bHasValue) {
            options.identity.strName = argv[++i];
        } else if (strArg == "--am-plan" && bHasValue) {
            options.nAmPlan = std::atoi(argv[++i]);
            if (options.nAmPlan != 9 && options.nAmPlan != 10) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

void Say(const std::string& strLine) {
    std::cout << strLine << std::endl;  // flushed: the caller waits for it
}

std::string StateLine(const CSimReceiver& receiver) {
    const SSimTunedState state = receiver.TunedState();
    std::string strBand = "-";
    if (state.bTuned) {
        strBand = state.nBand == 1 ? "FM" : "AM";
    }
    return "state " + strBand + " " + std::to_string(state.nFrequency) + " mode " +
           std::to_string(state.nMode) + " muted " + (state.bMuted ? "1" : "0");
}

bool PlugAndSay(CUhidReceiver& device) {
    if (device.Plug()) {
        Say("plugged");
        return true;
    }
    Say("error " + device.LastError());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    if (!ParseOptions(argc, argv, options)) {
        Usage();
        return 2;
    }
    auto pReceiver = std::make_shared<CSimReceiver>();
    pReceiver->SetAmPlan(options.nAmPlan);
    CUhidReceiver device(pReceiver, options.identity);
    if (options.bPlugged) {
        if (!PlugAndSay(device)) {
            std::cerr << "kestrel-uhid-receiver: " << device.LastError() << "\n";
            return 1;
        }
    } else {
        Say("unplugged");
    }

    std::string strLine;
    while (std::getline(std::cin, strLine)) {
        if (strLine == "plug") {
            PlugAndSay(device);
        } else if (strLine == "unplug") {
            device.Unplug();
            Say("unplugged");
        } else if (strLine == "state") {
            Say(StateLine(*pReceiver));
        } else if (strLine == "reports") {
            Say("reports " + std::to_string(pReceiver->ReportCount()));
        } else if (strLine == "quit") {
            break;
        } else if (!strLine.empty()) {
            Say("error unknown command: " + strLine);
        }
    }
    device.Unplug();
    Say("bye");
    return 0;
}
