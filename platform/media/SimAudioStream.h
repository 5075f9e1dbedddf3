#pragma once

#include <gst/app/gstappsrc.h>

#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/media/GstSupport.h"
#include "platform/media/ProgrammeSynth.h"

class CSimProgrammeSource;

// The live audio of the simulated capture source: a bin of appsrc ! clocksync
// that plays the simulated receiver's programme in real time, in blocks of
// 16-bit interleaved samples stamped from 0. The programme is read once a
// block, on the streaming thread.
class CSimAudioStream {
public:
    // Null when appsrc or clocksync is not installed. The programme source
    // may be null (hiss) and must outlive the stream.
    static std::unique_ptr<CSimAudioStream> Create(const CSimProgrammeSource* pProgramme,
                                                   const char* name);

private:
    struct SPasskey {
        explicit SPasskey() = default;
    };

public:
    // Through Create() only.
    CSimAudioStream(SPasskey, const CSimProgrammeSource* pProgramme);

    CSimAudioStream(const CSimAudioStream&) = delete;
    CSimAudioStream& operator=(const CSimAudioStream&) = delete;

    GstElement* Element() const { return m_pBin.get(); }
    // Before the stream starts: what it produces, and how much per block.
    void Configure(int nChannels, int nSampleRate, int nBlockBytes);

private:
    static void OnNeedData(GstAppSrc* pAppSrc, guint nLength, gpointer pUserData);
    void PushBlock(GstAppSrc* pAppSrc);

    const CSimProgrammeSource* m_pProgramme;
    GstElementPtr m_pBin;
    GstElement* m_pAppSrc = nullptr;  // owned by the bin
    GstElement* m_pClockSync = nullptr;

    // Set on the UI thread before the stream runs, read on the streaming thread.
    std::mutex m_mutex;
    int m_nChannels = 2;
    int m_nSampleRate = 44100;
    int m_nBlockFrames = 2205;  // 50 ms

    // Streaming thread only.
    CProgrammeSynth m_synth;
    uint64_t m_nFramesOut = 0;
};
