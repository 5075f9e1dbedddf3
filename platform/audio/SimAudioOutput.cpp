#include "platform/audio/SimAudioOutput.h"

#include <atomic>
#include <thread>
#include <vector>

class CSimAudioOutputServices::CPlayback : public CAudioPlayback {
public:
    CPlayback(CSimAudioOutputServices& services, std::shared_ptr<CAudioFeed> pFeed)
        : m_services(services), m_pReader(pFeed->OpenReader()) {
        m_thread = std::thread([this] { Run(); });
    }
    ~CPlayback() override {
        m_bStop = true;
        m_thread.join();
        std::lock_guard lock(m_services.m_mutex);
        --m_services.m_nPlaying;
    }

private:
    void Run() {
        const CAudioFeed::SFormat format = m_pReader->Format();
        std::vector<int16_t> buffer(
            static_cast<size_t>(format.nSampleRate / 100 * format.nChannels));
        const size_t nPeriod = buffer.size() / static_cast<size_t>(format.nChannels);
        while (!m_bStop) {
            const size_t nFrames =
                m_pReader->Read(buffer.data(), nPeriod, std::chrono::milliseconds(20));
            if (nFrames > 0) {
                m_services.Played(buffer.data(), nFrames);
            } else if (m_pReader->IsClosed()) {
                return;
            }
        }
    }

    CSimAudioOutputServices& m_services;
    std::unique_ptr<CAudioFeed::CReader> m_pReader;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

void CSimAudioOutputServices::SetListener(Listener listener) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

void CSimAudioOutputServices::SetFailure(std::string strWhy) {
    std::lock_guard lock(m_mutex);
    m_strFailure = std::move(strWhy);
}

int CSimAudioOutputServices::Playing() const {
    std::lock_guard lock(m_mutex);
    return m_nPlaying;
}

uint64_t CSimAudioOutputServices::FramesPlayed() const {
    std::lock_guard lock(m_mutex);
    return m_nFramesPlayed;
}

void CSimAudioOutputServices::Played(const int16_t* pFrames, size_t nFrames) {
    Listener listener;
    {
        std::lock_guard lock(m_mutex);
        m_nFramesPlayed += nFrames;
        listener = m_listener;
    }
    if (listener) {
        listener(pFrames, nFrames);
    }
}

std::unique_ptr<CAudioPlayback> CSimAudioOutputServices::Play(std::shared_ptr<CAudioFeed> pFeed,
                                                              std::string& strWhy) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_strFailure.empty()) {
            strWhy = m_strFailure;
            return nullptr;
        }
        ++m_nPlaying;
    }
    return std::make_unique<CPlayback>(*this, std::move(pFeed));
}
