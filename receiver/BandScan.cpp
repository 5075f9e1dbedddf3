#include "receiver/BandScan.h"

#include "receiver/Receiver.h"

CBandScan::CBandScan(CReceiver& receiver, std::chrono::milliseconds nameWait)
    : m_receiver(receiver), m_nameWait(nameWait) {}

CBandScan::~CBandScan() {
    Cancel();
    Wait();
}

bool CBandScan::Start(FProgress onProgress, FEnd onEnd) {
    if (m_worker.joinable() || !m_receiver.BeginScan()) {
        return false;
    }
    m_nBand = m_receiver.Band();
    m_bRunning = true;
    m_bCancelled = false;
    {
        std::lock_guard lock(m_mutex);
        m_stations.clear();
    }
    m_worker = std::thread(&CBandScan::Run, this, std::move(onProgress), std::move(onEnd));
    return true;
}

void CBandScan::Cancel() {
    if (!m_bRunning) {
        return;
    }
    m_bCancelled = true;
    m_receiver.EndScan();
}

bool CBandScan::Wait() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    return !m_bCancelled;
}

std::vector<SScanStation> CBandScan::Stations() const {
    std::lock_guard lock(m_mutex);
    return m_stations;
}

void CBandScan::Run(FProgress onProgress, FEnd onEnd) {
    const CTuningSteps steps = m_receiver.Steps(m_nBand);
    const unsigned nSpacing = steps.Spacing();
    SScanProgress progress;
    progress.nChannels = static_cast<int>((steps.Upper() - steps.Lower()) / nSpacing + 1);
    for (unsigned f = steps.Lower(); f <= steps.Upper() && !m_bCancelled; f += nSpacing) {
        ++progress.nChannel;
        progress.nFrequency = f;
        if (onProgress) {
            onProgress(progress);
        }
        const std::optional<SChannelTest> test = m_receiver.TestChannel(f, m_nameWait);
        if (!test) {
            m_bCancelled = true;  // the cancel, or the receiver went
            break;
        }
        // Where the receiver could tune it: a radio's band may be narrower.
        const unsigned nTuned = m_receiver.Frequency(m_nBand);
        if (!test->bStation) {
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            if (!m_stations.empty() && m_stations.back().nFrequency == nTuned) {
                continue;
            }
            m_stations.push_back({m_nBand, nTuned, test->nSignal, test->bStereo, test->strStation});
        }
        ++progress.nFound;
    }
    m_receiver.EndScan();
    if (onProgress && !m_bCancelled) {
        onProgress(progress);  // the count at the end
    }
    m_bRunning = false;
    if (onEnd) {
        onEnd(m_bCancelled);
    }
}
