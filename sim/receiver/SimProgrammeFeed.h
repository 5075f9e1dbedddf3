#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio/AudioFeed.h"
#include "sim/receiver/ProgrammeSynth.h"

class CSimProgrammeSource;

// The simulated receiver's audio as it reaches the sound card: a thread that
// renders what the receiver plays (its programme, or hiss without one) into
// a feed in real time, in 20 ms blocks, for the simulated capture input to
// record. Stops when it goes; the source must outlive it.
class CSimProgrammeFeed {
public:
    static constexpr CAudioFeed::SFormat kFormat{44100, 2};

    explicit CSimProgrammeFeed(const CSimProgrammeSource* pSource);
    ~CSimProgrammeFeed();

    CSimProgrammeFeed(const CSimProgrammeFeed&) = delete;
    CSimProgrammeFeed& operator=(const CSimProgrammeFeed&) = delete;

    const std::shared_ptr<CAudioFeed>& Feed() const { return m_pFeed; }

private:
    void Run();

    const CSimProgrammeSource* m_pSource;
    std::shared_ptr<CAudioFeed> m_pFeed;
    CProgrammeSynth m_synth;  // the thread's
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bStop = false;  // guarded by m_mutex
    std::thread m_thread;
};
