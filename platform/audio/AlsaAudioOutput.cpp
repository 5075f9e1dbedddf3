#include "platform/audio/AlsaAudioOutput.h"

#include <atomic>
#include <thread>
#include <vector>

#include "platform/audio/AlsaPcm.h"
#include "platform/trace/Trace.h"

namespace {

using namespace std::chrono_literals;

class CAlsaAudioPlayback : public CAudioPlayback {
public:
    CAlsaAudioPlayback(std::unique_ptr<CAlsaPcm> pPcm, std::shared_ptr<CAudioFeed> pFeed)
        : m_pPcm(std::move(pPcm)), m_pReader(pFeed->OpenReader()) {
        m_thread = std::thread([this] { Run(); });
    }
    ~CAlsaAudioPlayback() override {
        m_bStop = true;
        m_thread.join();
    }

private:
    // The feed's reader waits at most 50 ms, and a period is 10 ms: a stop is
    // taken within a period or two.
    void Run() {
        const size_t nChannels = static_cast<size_t>(m_pReader->Format().nChannels);
        std::vector<int16_t> buffer(static_cast<size_t>(m_pReader->Format().nSampleRate / 100) *
                                    nChannels);
        while (!m_bStop) {
            const size_t nFrames = m_pReader->Read(buffer.data(), buffer.size() / nChannels, 50ms);
            if (nFrames == 0) {
                if (m_pReader->IsClosed()) {
                    return;
                }
                continue;
            }
            const snd_pcm_sframes_t nWritten =
                snd_pcm_writei(m_pPcm->Get(), buffer.data(), nFrames);
            if (nWritten < 0 && !m_pPcm->Recover(static_cast<int>(nWritten))) {
                KestrelTrace("audio", "listening output ended: %s",
                             snd_strerror(static_cast<int>(nWritten)));
                return;
            }
        }
    }

    std::unique_ptr<CAlsaPcm> m_pPcm;
    std::unique_ptr<CAudioFeed::CReader> m_pReader;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<CAudioPlayback> CAlsaAudioOutputServices::Play(std::shared_ptr<CAudioFeed> pFeed,
                                                               std::string& strWhy) {
    std::unique_ptr<CAlsaPcm> pPcm =
        CAlsaPcm::Open(m_strDevice, SND_PCM_STREAM_PLAYBACK, pFeed->Format(), false, strWhy);
    if (!pPcm) {
        return nullptr;
    }
    return std::make_unique<CAlsaAudioPlayback>(std::move(pPcm), std::move(pFeed));
}
