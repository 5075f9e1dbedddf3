#include "platform/audio/SimAudioCapture.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

class CSimAudioCaptureServices::CCapture : public CAudioCapture {
public:
    CCapture(CSimAudioCaptureServices& services, std::string strDevice,
             std::shared_ptr<CAudioFeed> pFeed, FailureHandler onFailure)
        : m_services(services),
          m_strDevice(std::move(strDevice)),
          m_pFeed(std::move(pFeed)),
          m_onFailure(std::move(onFailure)) {
        m_thread = std::thread([this] { Run(); });
    }
    ~CCapture() override {
        m_bStop = true;
        m_thread.join();
        std::lock_guard lock(m_services.m_mutex);
        --m_services.m_nRunning;
    }

private:
    void Run() {
        const CAudioFeed::SFormat format = m_pFeed->Format();
        const size_t nFrames = static_cast<size_t>(format.nSampleRate / 100);
        std::vector<int16_t> buffer(nFrames * static_cast<size_t>(format.nChannels));
        auto next = std::chrono::steady_clock::now();
        while (!m_bStop) {
            std::string strWhy;
            if (!m_services.Fill(m_strDevice, buffer.data(), nFrames, format, strWhy)) {
                if (m_onFailure) {
                    m_onFailure(strWhy);
                }
                return;
            }
            m_pFeed->Write(buffer.data(), nFrames);
            next += std::chrono::milliseconds(10);
            std::this_thread::sleep_until(next);
        }
    }

    CSimAudioCaptureServices& m_services;
    const std::string m_strDevice;
    const std::shared_ptr<CAudioFeed> m_pFeed;
    const FailureHandler m_onFailure;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void CSimAudioCaptureServices::SetSource(const std::string& strDevice, Source source) {
    std::lock_guard lock(m_mutex);
    m_devices[strDevice] = {std::move(source), {}};
}

void CSimAudioCaptureServices::Fail(const std::string& strDevice, const std::string& strWhy) {
    std::lock_guard lock(m_mutex);
    m_devices[strDevice].strFailure = strWhy;
}

int CSimAudioCaptureServices::RunningCaptures() const {
    std::lock_guard lock(m_mutex);
    return m_nRunning;
}

bool CSimAudioCaptureServices::Fill(const std::string& strDevice, int16_t* pFrames, size_t nFrames,
                                    const CAudioFeed::SFormat& format, std::string& strWhy) {
    Source source;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_devices.find(strDevice);
        if (it == m_devices.end() || !it->second.strFailure.empty()) {
            strWhy = it == m_devices.end() ? strDevice + ": No such device"
                                           : strDevice + ": " + it->second.strFailure;
            return false;
        }
        source = it->second.source;
    }
    source(pFrames, nFrames, format);
    return true;
}

std::unique_ptr<CAudioCapture> CSimAudioCaptureServices::Start(const std::string& strDevice,
                                                               std::shared_ptr<CAudioFeed> pFeed,
                                                               FailureHandler onFailure,
                                                               std::string& strWhy) {
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_devices.find(strDevice);
        if (it == m_devices.end() || !it->second.strFailure.empty()) {
            strWhy = it == m_devices.end() ? strDevice + ": No such device"
                                           : strDevice + ": " + it->second.strFailure;
            return nullptr;
        }
        ++m_nRunning;
    }
    return std::make_unique<CCapture>(*this, strDevice, std::move(pFeed), std::move(onFailure));
}
