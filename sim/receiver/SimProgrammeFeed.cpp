#include "sim/receiver/SimProgrammeFeed.h"

#include <chrono>
#include <vector>

#include "sim/receiver/SimProgramme.h"

namespace {

constexpr std::chrono::milliseconds kBlock{20};

}  // namespace

CSimProgrammeFeed::CSimProgrammeFeed(const CSimProgrammeSource* pSource)
    : m_pSource(pSource), m_pFeed(std::make_shared<CAudioFeed>(kFormat)) {
    m_thread = std::thread([this] { Run(); });
}

CSimProgrammeFeed::~CSimProgrammeFeed() {
    {
        std::lock_guard lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_pFeed->Close();
}

// Each block is made when its time has come, on a schedule of its own, so
// that late wake-ups do not add up.
void CSimProgrammeFeed::Run() {
    const size_t nFrames = static_cast<size_t>(kFormat.nSampleRate) * kBlock.count() / 1000;
    std::vector<int16_t> block(nFrames * static_cast<size_t>(kFormat.nChannels));
    auto due = std::chrono::steady_clock::now();
    std::unique_lock lock(m_mutex);
    while (!m_wake.wait_until(lock, due, [this] { return m_bStop; })) {
        lock.unlock();
        const SSimProgramme programme =
            m_pSource ? m_pSource->CurrentProgramme() : CProgrammeSynth::NoReceiver();
        m_synth.Render(programme, block.data(), nFrames, kFormat.nChannels, kFormat.nSampleRate);
        m_pFeed->Write(block.data(), nFrames);
        due += kBlock;
        lock.lock();
    }
}
