#include "platform/audio/AlsaPcm.h"

#include <cstdio>

#include <cstdarg>
#include <mutex>

#include "platform/trace/Trace.h"

namespace {

constexpr unsigned kLatencyMicroseconds = 100'000;

// alsa-lib's own complaints go to the trace, not to the user's terminal: the
// caller says what failed in words of its own.
void TraceAlsaError(const char* pFile, int nLine, const char* pFunction, int nError,
                    const char* pFormat, ...) {
    char text[512];
    va_list args;
    va_start(args, pFormat);
    std::vsnprintf(text, sizeof(text), pFormat, args);
    va_end(args);
    KestrelTrace("alsa", "%s:%d %s: %s (%d)", pFile, nLine, pFunction, text, nError);
}

}  // namespace

std::unique_ptr<CAlsaPcm> CAlsaPcm::Open(const std::string& strDevice, snd_pcm_stream_t eStream,
                                         const CAudioFeed::SFormat& format, bool bNonBlocking,
                                         std::string& strWhy) {
    static std::once_flag handlerSet;
    std::call_once(handlerSet, [] { snd_lib_error_set_handler(TraceAlsaError); });
    snd_pcm_t* pPcm = nullptr;
    int nError =
        snd_pcm_open(&pPcm, strDevice.c_str(), eStream, bNonBlocking ? SND_PCM_NONBLOCK : 0);
    if (nError < 0) {
        strWhy = strDevice + ": " + snd_strerror(nError);
        return nullptr;
    }
    std::unique_ptr<CAlsaPcm> pOpen(new CAlsaPcm(pPcm));
    nError = snd_pcm_set_params(pPcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                                static_cast<unsigned>(format.nChannels),
                                static_cast<unsigned>(format.nSampleRate), 1, kLatencyMicroseconds);
    if (nError < 0) {
        strWhy = strDevice + ": " + snd_strerror(nError);
        return nullptr;
    }
    return pOpen;
}

CAlsaPcm::~CAlsaPcm() {
    snd_pcm_close(m_pPcm);
}

std::vector<pollfd> CAlsaPcm::PollFds() const {
    const int nCount = snd_pcm_poll_descriptors_count(m_pPcm);
    std::vector<pollfd> fds(static_cast<size_t>(std::max(nCount, 0)));
    if (!fds.empty()) {
        snd_pcm_poll_descriptors(m_pPcm, fds.data(), static_cast<unsigned>(fds.size()));
    }
    return fds;
}

bool CAlsaPcm::IsReady(std::vector<pollfd>& fds, short nEvent) const {
    unsigned short nRevents = 0;
    if (snd_pcm_poll_descriptors_revents(m_pPcm, fds.data(), static_cast<unsigned>(fds.size()),
                                         &nRevents) < 0) {
        return false;
    }
    return (nRevents & nEvent) != 0 || (nRevents & (POLLERR | POLLHUP)) != 0;
}

bool CAlsaPcm::Recover(int nError) {
    if (nError == -ENODEV || nError == -EBADFD || nError == -ENOTTY) {
        return false;
    }
    return snd_pcm_recover(m_pPcm, nError, 1) >= 0;
}
