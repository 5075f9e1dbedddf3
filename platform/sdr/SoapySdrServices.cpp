#include "platform/sdr/SoapySdrServices.h"

#include <SoapySDR/Device.hpp>
#include <SoapySDR/Errors.hpp>
#include <SoapySDR/Formats.hpp>
#include <SoapySDR/Logger.hpp>
#include <SoapySDR/Modules.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/sdr/StreamThread.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "sdr";
constexpr size_t kBlockSamples = 65536;
constexpr long kReadTimeoutUs = 200'000;

// SoapySDR and its modules talk on standard error: into the trace instead.
void TraceSoapy(const SoapySDRLogLevel, const char* pMessage) {
    KestrelTrace(kTag, "SoapySDR: %s", pMessage);
}

// The modules of dongles a listener tunes broadcast radio with. The others
// (sound cards, network servers, lab instruments) are never loaded: they
// would be listed as receivers, talk on standard error, and some hold on to
// their memory.
constexpr const char* kDongleModules[] = {"rtlsdr", "airspy", "hackrf", "sdrplay", "miri"};

bool IsDongleModule(const std::string& strPath) {
    std::string strFile = std::filesystem::path(strPath).filename().string();
    std::transform(strFile.begin(), strFile.end(), strFile.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::any_of(std::begin(kDongleModules), std::end(kDongleModules),
                       [&](const char* pName) { return strFile.find(pName) != std::string::npos; });
}

std::string Value(const SoapySDR::Kwargs& args, const char* pKey) {
    const auto it = args.find(pKey);
    return it == args.end() ? std::string() : it->second;
}

// The kernel's DVB driver holds RTL2832 dongles until it is kept off them.
std::string Explained(const std::string& strError, const SSdrDeviceInfo& device) {
    if (device.strDriver == "rtlsdr" &&
        (strError.find("usb_claim_interface") != std::string::npos ||
         strError.find("-6") != std::string::npos)) {
        return strError +
               " (the kernel's DVB-T driver holds the dongle: the package's "
               "/usr/lib/modprobe.d/kestrel-rtlsdr.conf keeps it off after "
               "\"sudo modprobe -r dvb_usb_rtl28xxu\" or a restart)";
    }
    return strError;
}

struct SUnmake {
    void operator()(SoapySDR::Device* pDevice) const { SoapySDR::Device::unmake(pDevice); }
};
using DevicePtr = std::unique_ptr<SoapySDR::Device, SUnmake>;

class CSoapyDevice : public CSdrDevice {
public:
    CSoapyDevice(SSdrDeviceInfo info, DevicePtr pDevice, double dRate)
        : m_info(std::move(info)), m_pDevice(std::move(pDevice)), m_dRate(dRate) {}
    ~CSoapyDevice() override { Stop(); }

    const SSdrDeviceInfo& Info() const override { return m_info; }
    double SampleRate() const override { return m_dRate; }
    std::vector<std::pair<double, double>> Ranges() const override {
        std::vector<std::pair<double, double>> ranges;
        for (const SoapySDR::Range& range : m_pDevice->getFrequencyRange(SOAPY_SDR_RX, 0)) {
            ranges.emplace_back(range.minimum(), range.maximum());
        }
        return ranges;
    }
    // RTL-SDR's Q branch, where the V3 dongles have their HF input; the
    // ADC's 28.8 MHz with its second Nyquist zone.
    std::vector<std::pair<double, double>> DirectRanges() const override {
        if (!HasSetting(kDirectSampling)) {
            return {};
        }
        return {{500e3, 28.8e6}};
    }
    bool SetDirectSampling(bool bOn, std::string& strWhy) override {
        if (!HasSetting(kDirectSampling)) {
            return CSdrDevice::SetDirectSampling(bOn, strWhy);
        }
        return Try(strWhy, [&] { m_pDevice->writeSetting(kDirectSampling, bOn ? "2" : "0"); });
    }
    bool SetCenter(double dHz, std::string& strWhy) override {
        return Try(strWhy, [&] {
            m_pDevice->setFrequency(SOAPY_SDR_RX, 0, dHz);
            m_dCenter = dHz;
        });
    }
    double Center() const override { return m_dCenter; }
    bool SetGain(std::optional<double> dDb, std::string& strWhy) override {
        return Try(strWhy, [&] {
            m_pDevice->setGainMode(SOAPY_SDR_RX, 0, !dDb.has_value());
            if (dDb) {
                m_pDevice->setGain(SOAPY_SDR_RX, 0, *dDb);
            }
        });
    }
    bool SetCorrection(double dPpm, std::string& strWhy) override {
        return Try(strWhy, [&] {
            if (m_pDevice->hasFrequencyCorrection(SOAPY_SDR_RX, 0)) {
                m_pDevice->setFrequencyCorrection(SOAPY_SDR_RX, 0, dPpm);
            }
        });
    }

    bool Start(IqHandler onIq, FailureHandler onFailure, std::string& strWhy) override {
        Stop();
        const bool bStarted = Try(strWhy, [&] {
            m_pStream = m_pDevice->setupStream(SOAPY_SDR_RX, SOAPY_SDR_CF32);
            if (m_pDevice->activateStream(m_pStream) != 0) {
                throw std::runtime_error("the stream does not start");
            }
        });
        if (!bStarted) {
            return false;
        }
        m_stream.Start([this, onIq = std::move(onIq), onFailure = std::move(onFailure)] {
            Run(onIq, onFailure);
        });
        return true;
    }
    void Stop() override {
        m_stream.Stop();
        if (m_pStream) {
            m_pDevice->deactivateStream(m_pStream);
            m_pDevice->closeStream(m_pStream);
            m_pStream = nullptr;
        }
    }

private:
    static constexpr const char* kDirectSampling = "direct_samp";

    bool HasSetting(const char* pKey) const {
        try {
            const SoapySDR::ArgInfoList settings = m_pDevice->getSettingInfo();
            return std::any_of(settings.begin(), settings.end(),
                               [&](const SoapySDR::ArgInfo& info) { return info.key == pKey; });
        } catch (const std::exception&) {
            return false;
        }
    }

    template <typename Call>
    bool Try(std::string& strWhy, Call call) {
        try {
            call();
            return true;
        } catch (const std::exception& error) {
            strWhy = Explained(error.what(), m_info);
            return false;
        }
    }

    void Run(const IqHandler& onIq, const FailureHandler& onFailure) {
        std::vector<std::complex<float>> block(kBlockSamples);
        uint64_t nLost = 0;
        while (!m_stream.Stopping()) {
            void* buffers[] = {block.data()};
            int nFlags = 0;
            long long nTime = 0;
            const int nRead = m_pDevice->readStream(m_pStream, buffers, block.size(), nFlags, nTime,
                                                    kReadTimeoutUs);
            if (nRead == SOAPY_SDR_TIMEOUT) {
                continue;
            }
            if (nRead == SOAPY_SDR_OVERFLOW) {
                // What the driver dropped is not told: a block's worth, at least.
                nLost += block.size();
                continue;
            }
            if (nRead < 0) {
                onFailure(std::string("the dongle stopped: ") + SoapySDR::errToStr(nRead));
                return;
            }
            onIq(std::span(block.data(), static_cast<size_t>(nRead)), std::exchange(nLost, 0));
        }
    }

    SSdrDeviceInfo m_info;
    DevicePtr m_pDevice;
    double m_dRate;
    std::atomic<double> m_dCenter{0};
    SoapySDR::Stream* m_pStream = nullptr;
    CStreamThread m_stream;
};

}  // namespace

CSoapySdrServices::CSoapySdrServices() {
    SoapySDR::registerLogHandler(TraceSoapy);
    // Loading one module by hand keeps SoapySDR from loading all of them.
    for (const std::string& strPath : SoapySDR::listModules()) {
        if (!IsDongleModule(strPath)) {
            continue;
        }
        const std::string strError = SoapySDR::loadModule(strPath);
        if (strError.empty()) {
            m_bModules = true;
        } else {
            KestrelTrace(kTag, "SoapySDR module %s: %s", strPath.c_str(), strError.c_str());
        }
    }
    if (!m_bModules) {
        KestrelTrace(kTag, "no SoapySDR module for a dongle (soapysdr-module-rtlsdr)");
    }
}

std::vector<SSdrDeviceInfo> CSoapySdrServices::Enumerate() {
    std::vector<SSdrDeviceInfo> devices;
    if (!m_bModules) {
        return devices;
    }
    try {
        for (const SoapySDR::Kwargs& args : SoapySDR::Device::enumerate()) {
            SSdrDeviceInfo device;
            device.strDriver = Value(args, "driver");
            // The audio module lists sound cards, the remote one servers: no dongles.
            if (device.strDriver.empty() || device.strDriver == "audio" ||
                device.strDriver == "remote") {
                continue;
            }
            device.strSerial = Value(args, "serial");
            device.strName = Value(args, "label");
            device.strId = device.strDriver + ":" + device.strSerial;
            devices.push_back(std::move(device));
        }
    } catch (const std::exception& error) {
        KestrelTrace(kTag, "SoapySDR cannot list the dongles: %s", error.what());
    }
    return devices;
}

std::unique_ptr<CSdrDevice> CSoapySdrServices::Open(const SSdrDeviceInfo& device,
                                                    double dSampleRate, std::string& strWhy) {
    SoapySDR::Kwargs args = {{"driver", device.strDriver}};
    if (!device.strSerial.empty()) {
        args["serial"] = device.strSerial;
    }
    DevicePtr pDevice;
    try {
        pDevice.reset(SoapySDR::Device::make(args));
        pDevice->setSampleRate(SOAPY_SDR_RX, 0, dSampleRate);
    } catch (const std::exception& error) {
        strWhy = Explained(error.what(), device);
        return nullptr;
    }
    const double dRate = pDevice->getSampleRate(SOAPY_SDR_RX, 0);
    return std::make_unique<CSoapyDevice>(device, std::move(pDevice), dRate);
}
