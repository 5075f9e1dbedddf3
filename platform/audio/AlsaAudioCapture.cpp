#include "platform/audio/AlsaAudioCapture.h"

#include <vector>

#include "platform/audio/AlsaPcm.h"
#include "platform/posix/PollLoop.h"
#include "platform/trace/Trace.h"

namespace {

constexpr int kPollTimeoutMs = 500;

class CAlsaAudioCapture : public CAudioCapture {
public:
    CAlsaAudioCapture(std::unique_ptr<CAlsaPcm> pPcm, std::shared_ptr<CAudioFeed> pFeed,
                      CAudioCaptureServices::FailureHandler onFailure)
        : m_pPcm(std::move(pPcm)), m_pFeed(std::move(pFeed)), m_onFailure(std::move(onFailure)) {}
    ~CAlsaAudioCapture() override { m_loop.Stop(); }

    bool Start() {
        snd_pcm_start(m_pPcm->Get());
        return m_loop.Start([this](CPollLoop& loop) { Run(loop); });
    }

private:
    void Run(CPollLoop& loop) {
        const size_t nChannels = static_cast<size_t>(m_pFeed->Format().nChannels);
        std::vector<int16_t> buffer(static_cast<size_t>(m_pFeed->Format().nSampleRate / 100) *
                                    nChannels);
        for (;;) {
            std::vector<pollfd> fds = m_pPcm->PollFds();
            const CPollLoop::EWake eWake = loop.Wait(fds, kPollTimeoutMs);
            if (eWake == CPollLoop::EWake::Stopped) {
                return;
            }
            if (eWake == CPollLoop::EWake::Failed) {
                Fail("poll failed");
                return;
            }
            if (eWake == CPollLoop::EWake::Ready && !m_pPcm->IsReady(fds, POLLIN)) {
                continue;
            }
            const snd_pcm_sframes_t nFrames =
                snd_pcm_readi(m_pPcm->Get(), buffer.data(), buffer.size() / nChannels);
            if (nFrames == -EAGAIN) {
                continue;
            }
            if (nFrames < 0) {
                if (m_pPcm->Recover(static_cast<int>(nFrames))) {
                    snd_pcm_start(m_pPcm->Get());
                    continue;
                }
                Fail(snd_strerror(static_cast<int>(nFrames)));
                return;
            }
            m_pFeed->Write(buffer.data(), static_cast<size_t>(nFrames));
        }
    }

    void Fail(const std::string& strWhy) {
        KestrelTrace("audio", "capture ended: %s", strWhy.c_str());
        if (m_onFailure) {
            m_onFailure(strWhy);
        }
    }

    std::unique_ptr<CAlsaPcm> m_pPcm;
    std::shared_ptr<CAudioFeed> m_pFeed;
    CAudioCaptureServices::FailureHandler m_onFailure;
    CPollLoop m_loop;  // last: stopped before the rest goes
};

}  // namespace

std::unique_ptr<CAudioCapture> CAlsaAudioCaptureServices::Start(const std::string& strDevice,
                                                                std::shared_ptr<CAudioFeed> pFeed,
                                                                FailureHandler onFailure,
                                                                std::string& strWhy) {
    std::unique_ptr<CAlsaPcm> pPcm =
        CAlsaPcm::Open(strDevice, SND_PCM_STREAM_CAPTURE, pFeed->Format(), true, strWhy);
    if (!pPcm) {
        return nullptr;
    }
    auto pCapture = std::make_unique<CAlsaAudioCapture>(std::move(pPcm), std::move(pFeed),
                                                        std::move(onFailure));
    if (!pCapture->Start()) {
        strWhy = strDevice + ": the capture thread cannot start";
        return nullptr;
    }
    return pCapture;
}
