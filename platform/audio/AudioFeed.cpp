#include "platform/audio/AudioFeed.h"

#include <algorithm>
#include <deque>

// A reader's frames, written under its own lock so that a slow reader never
// holds up the writer behind another reader's.
struct CAudioFeed::CReader::SQueue {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<int16_t> samples;
    size_t nCapacitySamples = 0;
    uint64_t nLostFrames = 0;
    bool bClosed = false;
};

CAudioFeed::CAudioFeed(SFormat format, size_t nCapacityFrames)
    : m_format(format), m_nCapacityFrames(std::max<size_t>(nCapacityFrames, 1)) {}

CAudioFeed::~CAudioFeed() {
    Close();
}

void CAudioFeed::Write(const int16_t* pFrames, size_t nFrames) {
    const size_t nChannels = static_cast<size_t>(m_format.nChannels);
    std::lock_guard lock(m_mutex);
    if (m_bClosed) {
        return;
    }
    std::erase_if(m_readers, [](const auto& pWeak) { return pWeak.expired(); });
    for (const auto& pWeak : m_readers) {
        const std::shared_ptr<CReader::SQueue> pQueue = pWeak.lock();
        if (!pQueue) {
            continue;
        }
        {
            std::lock_guard queueLock(pQueue->mutex);
            pQueue->samples.insert(pQueue->samples.end(), pFrames, pFrames + nFrames * nChannels);
            if (pQueue->samples.size() > pQueue->nCapacitySamples) {
                // Whole frames, the oldest first.
                const size_t nExcess = pQueue->samples.size() - pQueue->nCapacitySamples;
                const size_t nDrop = (nExcess + nChannels - 1) / nChannels * nChannels;
                pQueue->samples.erase(pQueue->samples.begin(),
                                      pQueue->samples.begin() + static_cast<std::ptrdiff_t>(nDrop));
                pQueue->nLostFrames += nDrop / nChannels;
            }
        }
        pQueue->ready.notify_all();
    }
}

void CAudioFeed::Close() {
    std::lock_guard lock(m_mutex);
    m_bClosed = true;
    for (const auto& pWeak : m_readers) {
        if (const std::shared_ptr<CReader::SQueue> pQueue = pWeak.lock()) {
            {
                std::lock_guard queueLock(pQueue->mutex);
                pQueue->bClosed = true;
            }
            pQueue->ready.notify_all();
        }
    }
}

std::unique_ptr<CAudioFeed::CReader> CAudioFeed::OpenReader() {
    auto pQueue = std::make_shared<CReader::SQueue>();
    pQueue->nCapacitySamples = m_nCapacityFrames * static_cast<size_t>(m_format.nChannels);
    std::lock_guard lock(m_mutex);
    pQueue->bClosed = m_bClosed;
    m_readers.push_back(pQueue);
    return std::unique_ptr<CReader>(new CReader(std::move(pQueue), m_format));
}

size_t CAudioFeed::ReaderCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<size_t>(std::count_if(m_readers.begin(), m_readers.end(),
                                             [](const auto& pWeak) { return !pWeak.expired(); }));
}

CAudioFeed::CReader::CReader(std::shared_ptr<SQueue> pQueue, SFormat format)
    : m_pQueue(std::move(pQueue)), m_format(format) {}

CAudioFeed::CReader::~CReader() = default;

size_t CAudioFeed::CReader::Read(int16_t* pFrames, size_t nFrames, std::chrono::milliseconds wait,
                                 uint64_t* pLost) {
    const size_t nChannels = static_cast<size_t>(m_format.nChannels);
    std::unique_lock lock(m_pQueue->mutex);
    m_pQueue->ready.wait_for(lock, wait,
                             [this] { return !m_pQueue->samples.empty() || m_pQueue->bClosed; });
    if (pLost) {
        *pLost += m_pQueue->nLostFrames;
    }
    m_pQueue->nLostFrames = 0;
    const size_t nFramesThere = m_pQueue->samples.size() / nChannels;
    const size_t nTaken = std::min(nFrames, nFramesThere);
    const auto end = m_pQueue->samples.begin() + static_cast<std::ptrdiff_t>(nTaken * nChannels);
    std::copy(m_pQueue->samples.begin(), end, pFrames);
    m_pQueue->samples.erase(m_pQueue->samples.begin(), end);
    return nTaken;
}

bool CAudioFeed::CReader::IsClosed() const {
    std::lock_guard lock(m_pQueue->mutex);
    return m_pQueue->bClosed && m_pQueue->samples.empty();
}
