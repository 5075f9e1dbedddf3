#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// Audio that a receiver brings itself (a demodulator, a radio's own USB sound
// card opened once), pushed to whoever listens or records: interleaved 16-bit
// frames at a known rate and channel count.
//
// Contract: Write() may be called from any thread, and never blocks beyond a
// short lock; each reader gets every frame written after it was opened, in
// order. A reader that falls more than its capacity behind loses the oldest
// frames, and the loss is counted (and said by Read() as a gap). Readers and
// the feed may go in any order.
class CAudioFeed {
public:
    struct SFormat {
        int nSampleRate = 48000;
        int nChannels = 2;
        bool operator==(const SFormat&) const = default;
    };

    // One consumer's cursor on the feed.
    class CReader {
    public:
        ~CReader();
        CReader(const CReader&) = delete;
        CReader& operator=(const CReader&) = delete;

        // Waits up to wait for frames, then copies up to nFrames of them into
        // pFrames (nFrames * channels samples). Returns the frames copied: 0
        // after the wait, or once the feed was closed and drained. Frames lost
        // since the last read are added to *pLost when given.
        size_t Read(int16_t* pFrames, size_t nFrames, std::chrono::milliseconds wait,
                    uint64_t* pLost = nullptr);
        bool IsClosed() const;
        const SFormat& Format() const { return m_format; }

    private:
        friend class CAudioFeed;
        struct SQueue;
        CReader(std::shared_ptr<SQueue> pQueue, SFormat format);

        std::shared_ptr<SQueue> m_pQueue;
        SFormat m_format;
    };

    // nCapacityFrames: what a reader may fall behind before frames are lost.
    explicit CAudioFeed(SFormat format, size_t nCapacityFrames = 48000);
    ~CAudioFeed();

    CAudioFeed(const CAudioFeed&) = delete;
    CAudioFeed& operator=(const CAudioFeed&) = delete;

    const SFormat& Format() const { return m_format; }
    // Frames of Format(): nFrames * channels samples.
    void Write(const int16_t* pFrames, size_t nFrames);
    // No more frames will come: readers drain what they have, then read 0.
    void Close();
    std::unique_ptr<CReader> OpenReader();
    size_t ReaderCount() const;

private:
    const SFormat m_format;
    const size_t m_nCapacityFrames;
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<CReader::SQueue>> m_readers;
    bool m_bClosed = false;
};
