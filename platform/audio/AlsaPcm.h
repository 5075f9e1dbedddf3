#pragma once

#include <alsa/asoundlib.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/AudioFeed.h"

// One open ALSA PCM in interleaved 16-bit frames of a feed's format, with
// alsa-lib converting and resampling what the card has.
class CAlsaPcm {
public:
    // Null with strWhy set when the device cannot be opened or set up.
    static std::unique_ptr<CAlsaPcm> Open(const std::string& strDevice, snd_pcm_stream_t eStream,
                                          const CAudioFeed::SFormat& format, bool bNonBlocking,
                                          std::string& strWhy);
    ~CAlsaPcm();

    CAlsaPcm(const CAlsaPcm&) = delete;
    CAlsaPcm& operator=(const CAlsaPcm&) = delete;

    snd_pcm_t* Get() const { return m_pPcm; }
    std::vector<pollfd> PollFds() const;
    // Whether the poll said the PCM is ready (it folds its own descriptors).
    bool IsReady(std::vector<pollfd>& fds, short nEvent) const;
    // After an overrun or an underrun; false when the device is gone.
    bool Recover(int nError);

private:
    explicit CAlsaPcm(snd_pcm_t* pPcm) : m_pPcm(pPcm) {}

    snd_pcm_t* m_pPcm;
};
