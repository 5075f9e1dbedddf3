#include "platform/sdr/IqFileServices.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/sdr/StreamThread.h"

class CIqFileServices::CDevice : public CSdrDevice {
public:
    CDevice(SSdrDeviceInfo info, std::unique_ptr<CIqFile> pFile)
        : m_info(std::move(info)), m_pFile(std::move(pFile)) {}
    ~CDevice() override { Stop(); }

    const SSdrDeviceInfo& Info() const override { return m_info; }
    double SampleRate() const override { return m_pFile->Rate(); }
    std::vector<std::pair<double, double>> Ranges() const override {
        return {{m_pFile->Center() - m_pFile->Rate() / 2, m_pFile->Center() + m_pFile->Rate() / 2}};
    }
    bool CanRetune() const override { return false; }
    bool SetCenter(double dHz, std::string& strWhy) override {
        if (dHz == m_pFile->Center()) {
            return true;
        }
        strWhy = "a recording's centre cannot move";
        return false;
    }
    double Center() const override { return m_pFile->Center(); }
    bool SetGain(std::optional<double>, std::string&) override { return true; }
    bool SetCorrection(double, std::string&) override { return true; }

    bool Start(IqHandler onIq, FailureHandler onFailure, std::string&) override {
        Stop();
        m_stream.Start([this, onIq = std::move(onIq), onFailure = std::move(onFailure)] {
            Run(onIq, onFailure);
        });
        return true;
    }
    void Stop() override { m_stream.Stop(); }

private:
    void Run(const IqHandler& onIq, const FailureHandler& onFailure) {
        const auto period = std::chrono::milliseconds(10);
        std::vector<std::complex<float>> block(static_cast<size_t>(m_pFile->Rate() / 100));
        auto next = std::chrono::steady_clock::now();
        while (!m_stream.Stopping()) {
            std::string strWhy;
            if (!m_pFile->Read(block.data(), block.size(), strWhy)) {
                onFailure(strWhy);
                return;
            }
            onIq(block, 0);
            next += period;
            std::this_thread::sleep_until(next);
        }
    }

    SSdrDeviceInfo m_info;
    std::unique_ptr<CIqFile> m_pFile;
    CStreamThread m_stream;
};

CIqFileServices::CIqFileServices(CIqFile::SOptions options) : m_options(std::move(options)) {}

bool CIqFileServices::Check(std::string& strWhy) const {
    return CIqFile::Open(m_options, strWhy) != nullptr;
}

std::vector<SSdrDeviceInfo> CIqFileServices::Enumerate() {
    std::string strWhy;
    if (!Check(strWhy)) {
        return {};
    }
    SSdrDeviceInfo device;
    device.strDriver = "file";
    device.strSerial = std::filesystem::path(m_options.strPath).filename().string();
    device.strId = "file:" + device.strSerial;
    device.strName = "IQ recording " + device.strSerial;
    return {device};
}

std::unique_ptr<CSdrDevice> CIqFileServices::Open(const SSdrDeviceInfo& device, double,
                                                  std::string& strWhy) {
    std::unique_ptr<CIqFile> pFile = CIqFile::Open(m_options, strWhy);
    if (!pFile) {
        return nullptr;
    }
    return std::make_unique<CDevice>(device, std::move(pFile));
}
