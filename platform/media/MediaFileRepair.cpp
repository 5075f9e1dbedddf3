#include "platform/media/MediaFileRepair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/posix/UniqueFd.h"
#include "platform/trace/Trace.h"

namespace {

constexpr const char* kTag = "media";
// Both headers lie well inside the first 64 KiB of the files Kestrel writes.
constexpr size_t kHeadBytes = 64 * 1024;

using Guid = std::array<uint8_t, 16>;
constexpr Guid kAsfHeader{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                          0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kAsfData{0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kAsfFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAsfStreamProperties{0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                    0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kAsfAudioMedia{0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                              0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};

constexpr uint64_t kAsfObjectHead = 24;        // GUID and size
constexpr uint64_t kAsfHeaderObjectHead = 30;  // plus object count and reserved bytes
constexpr uint64_t kAsfDataObjectHead = 50;
constexpr uint64_t kAsfFilePropertiesSize = 104;
constexpr uint64_t kHundredNsPerMs = 10000;

// One open file and the positioned reads and writes the repair needs.
class CFileHandle {
public:
    explicit CFileHandle(const std::string& strPath)
        : m_fd(open(strPath.c_str(), O_RDWR | O_CLOEXEC)) {}

    bool IsOpen() const { return m_fd.IsValid(); }

    std::optional<uint64_t> Size() const {
        struct stat info {};
        if (fstat(m_fd.Get(), &info) != 0) {
            return std::nullopt;
        }
        return static_cast<uint64_t>(info.st_size);
    }

    std::vector<uint8_t> ReadAt(uint64_t nAt, size_t nBytes) const {
        std::vector<uint8_t> bytes(nBytes);
        const ssize_t nRead = pread(m_fd.Get(), bytes.data(), nBytes, static_cast<off_t>(nAt));
        bytes.resize(nRead > 0 ? static_cast<size_t>(nRead) : 0);
        return bytes;
    }

    bool WriteAt(uint64_t nAt, const void* pData, size_t nBytes) {
        return pwrite(m_fd.Get(), pData, nBytes, static_cast<off_t>(nAt)) ==
               static_cast<ssize_t>(nBytes);
    }

    bool Truncate(uint64_t nSize) { return ftruncate(m_fd.Get(), static_cast<off_t>(nSize)) == 0; }
    bool Sync() { return fsync(m_fd.Get()) == 0; }

private:
    CUniqueFd m_fd;
};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
    return static_cast<uint64_t>(Le32(p)) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}

template <size_t N>
std::array<uint8_t, N> LittleEndian(uint64_t nValue) {
    std::array<uint8_t, N> bytes{};
    for (size_t n = 0; n < N; ++n) {
        bytes[n] = static_cast<uint8_t>(nValue >> (8 * n));
    }
    return bytes;
}

template <size_t N>
bool Put(CFileHandle& file, uint64_t nAt, uint64_t nValue) {
    const std::array<uint8_t, N> bytes = LittleEndian<N>(nValue);
    return file.WriteAt(nAt, bytes.data(), N);
}

bool IsGuid(const std::vector<uint8_t>& bytes, uint64_t nAt, const Guid& guid) {
    return nAt + guid.size() <= bytes.size() &&
           std::memcmp(bytes.data() + nAt, guid.data(), guid.size()) == 0;
}

// ---- WAV ----

struct SWavLayout {
    uint64_t nDataAt = 0;  // first byte of the samples
    uint32_t nStatedData = 0;
    uint32_t nStatedRiff = 0;
    uint32_t nByteRate = 0;
    uint16_t nBlockAlign = 0;
};

std::optional<SWavLayout> ReadWavLayout(const std::vector<uint8_t>& head) {
    if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 ||
        std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    SWavLayout layout;
    layout.nStatedRiff = Le32(head.data() + 4);
    for (uint64_t nAt = 12; nAt + 8 <= head.size();) {
        const uint8_t* pChunk = head.data() + nAt;
        const uint32_t nSize = Le32(pChunk + 4);
        if (std::memcmp(pChunk, "fmt ", 4) == 0 && nAt + 8 + 16 <= head.size()) {
            layout.nByteRate = Le32(pChunk + 16);
            layout.nBlockAlign = Le16(pChunk + 20);
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            layout.nDataAt = nAt + 8;
            layout.nStatedData = nSize;
            if (layout.nByteRate == 0 || layout.nBlockAlign == 0) {
                return std::nullopt;
            }
            return layout;
        }
        nAt += 8 + static_cast<uint64_t>(nSize) + (nSize & 1);
    }
    return std::nullopt;
}

// ---- ASF ----

struct SAsfLayout {
    uint64_t nFileProperties = 0;  // offset of the file properties object
    uint64_t nDataObject = 0;
    uint32_t nPacketSize = 0;
    uint64_t nStatedFileSize = 0;
    uint64_t nStatedPackets = 0;
    uint64_t nPlayDuration = 0;  // 100 ns, preroll included
    uint64_t nPrerollMs = 0;
    uint32_t nFlags = 0;
    uint64_t nDataObjectSize = 0;
    uint64_t nDataPackets = 0;
    double dFrameSeconds = 0.0;  // of one audio block, when known
};

std::optional<SAsfLayout> ReadAsfLayout(const std::vector<uint8_t>& head) {
    if (!IsGuid(head, 0, kAsfHeader) || head.size() < kAsfHeaderObjectHead) {
        return std::nullopt;
    }
    const uint64_t nHeaderSize = Le64(head.data() + 16);
    if (nHeaderSize < kAsfHeaderObjectHead || nHeaderSize + kAsfDataObjectHead > head.size()) {
        return std::nullopt;
    }
    SAsfLayout layout;
    bool bFileProperties = false;
    for (uint64_t nAt = kAsfHeaderObjectHead; nAt + kAsfObjectHead <= nHeaderSize;) {
        const uint64_t nSize = Le64(head.data() + nAt + 16);
        if (nSize < kAsfObjectHead || nSize > nHeaderSize - nAt) {
            return std::nullopt;
        }
        const uint8_t* p = head.data() + nAt;
        if (IsGuid(head, nAt, kAsfFileProperties) && nSize >= kAsfFilePropertiesSize) {
            layout.nFileProperties = nAt;
            layout.nStatedFileSize = Le64(p + 40);
            layout.nStatedPackets = Le64(p + 56);
            layout.nPlayDuration = Le64(p + 64);
            layout.nPrerollMs = Le64(p + 80);
            layout.nFlags = Le32(p + 88);
            const uint32_t nMinPacket = Le32(p + 92);
            layout.nPacketSize = nMinPacket == Le32(p + 96) ? nMinPacket : 0;
            bFileProperties = true;
        } else if (IsGuid(head, nAt, kAsfStreamProperties) && nSize >= 78 + 14 &&
                   IsGuid(head, nAt + 24, kAsfAudioMedia)) {
            // WAVEFORMATEX: average bytes per second and the block of one frame.
            const uint32_t nBytesPerSecond = Le32(p + 78 + 8);
            const uint16_t nBlock = Le16(p + 78 + 12);
            if (nBytesPerSecond > 0) {
                layout.dFrameSeconds = static_cast<double>(nBlock) / nBytesPerSecond;
            }
        }
        nAt += nSize;
    }
    if (!bFileProperties || layout.nPacketSize == 0 || !IsGuid(head, nHeaderSize, kAsfData)) {
        return std::nullopt;
    }
    layout.nDataObject = nHeaderSize;
    layout.nDataObjectSize = Le64(head.data() + nHeaderSize + 16);
    layout.nDataPackets = Le64(head.data() + nHeaderSize + 40);
    return layout;
}

size_t FieldBytes(unsigned nType) {
    static constexpr std::array<size_t, 4> kBytes{0, 1, 2, 4};
    return kBytes[nType & 3];
}

// Reads a field of 0, 1, 2 or 4 bytes; false past the packet's end.
bool ReadField(const std::vector<uint8_t>& packet, size_t& nAt, unsigned nType, uint32_t& nValue) {
    const size_t nBytes = FieldBytes(nType);
    if (nAt + nBytes > packet.size()) {
        return false;
    }
    const uint8_t* p = packet.data() + nAt;
    nValue = nBytes == 0 ? 0 : nBytes == 1 ? p[0] : nBytes == 2 ? Le16(p) : Le32(p);
    nAt += nBytes;
    return true;
}

// The latest presentation time (ms) of a payload in one data packet.
std::optional<uint32_t> LatestPresentationMs(const std::vector<uint8_t>& packet) {
    size_t nAt = 0;
    if (packet.empty()) {
        return std::nullopt;
    }
    uint8_t nFlags = packet[nAt++];
    if (nFlags & 0x80) {  // error correction data, then the real flags
        nAt += nFlags & 0x0F;
        if (nAt >= packet.size()) {
            return std::nullopt;
        }
        nFlags = packet[nAt++];
    }
    if (nAt >= packet.size()) {
        return std::nullopt;
    }
    const uint8_t nProperties = packet[nAt++];
    uint32_t nIgnored = 0;
    if (!ReadField(packet, nAt, nFlags >> 5, nIgnored) ||  // packet length
        !ReadField(packet, nAt, nFlags >> 1, nIgnored) ||  // sequence
        !ReadField(packet, nAt, nFlags >> 3, nIgnored) ||  // padding length
        !ReadField(packet, nAt, 3, nIgnored) || !ReadField(packet, nAt, 2, nIgnored)) {
        return std::nullopt;  // send time and duration
    }
    const bool bMultiple = nFlags & 0x01;
    unsigned nPayloads = 1;
    unsigned nLengthType = 0;
    if (bMultiple) {
        if (nAt >= packet.size()) {
            return std::nullopt;
        }
        nPayloads = packet[nAt] & 0x3F;
        nLengthType = packet[nAt] >> 6;
        ++nAt;
    }
    std::optional<uint32_t> latest;
    for (unsigned n = 0; n < nPayloads; ++n) {
        uint32_t nObject = 0;
        uint32_t nOffset = 0;
        uint32_t nReplicated = 0;
        if (!ReadField(packet, nAt, nProperties >> 6, nIgnored) ||  // stream number
            !ReadField(packet, nAt, nProperties >> 4, nObject) ||
            !ReadField(packet, nAt, nProperties >> 2, nOffset) ||
            !ReadField(packet, nAt, nProperties, nReplicated) ||
            nAt + nReplicated > packet.size()) {
            break;
        }
        // Replicated data starts with the object size and its presentation
        // time; a compressed payload (1 byte) carries the time as its offset.
        const uint32_t nTime = nReplicated >= 8   ? Le32(packet.data() + nAt + 4)
                               : nReplicated == 1 ? nOffset
                                                  : 0;
        if (nReplicated == 1 || nReplicated >= 8) {
            latest = std::max(latest.value_or(0), nTime);
        }
        nAt += nReplicated;
        if (!bMultiple) {
            break;
        }
        uint32_t nLength = 0;
        if (!ReadField(packet, nAt, nLengthType, nLength)) {
            break;
        }
        nAt += nLength;
    }
    return latest;
}

// Seconds of audio in the packets: the last payload's start plus one frame.
double AsfPacketSeconds(const CFileHandle& file, const SAsfLayout& layout, uint64_t nPackets) {
    const uint64_t nFirst = layout.nDataObject + kAsfDataObjectHead;
    // A packet may hold only the tail of a frame; look back a little.
    constexpr uint64_t kLookBack = 16;
    for (uint64_t n = nPackets; n > 0 && nPackets - n < kLookBack; --n) {
        const std::vector<uint8_t> packet =
            file.ReadAt(nFirst + (n - 1) * layout.nPacketSize, layout.nPacketSize);
        if (const std::optional<uint32_t> time = LatestPresentationMs(packet)) {
            const double dStart =
                (static_cast<double>(*time) - static_cast<double>(layout.nPrerollMs)) / 1000.0;
            return std::max(dStart, 0.0) + layout.dFrameSeconds;
        }
    }
    return 0.0;
}

double StatedAsfSeconds(const SAsfLayout& layout) {
    const double dPlay = static_cast<double>(layout.nPlayDuration) / 1e7;
    return std::max(dPlay - static_cast<double>(layout.nPrerollMs) / 1000.0, 0.0);
}

}  // namespace

SMediaFileCheck CheckWavFile(const std::string& strPath) {
    SMediaFileCheck check;
    CFileHandle file(strPath);
    const std::optional<uint64_t> size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size) {
        return check;
    }
    const std::optional<SWavLayout> layout = ReadWavLayout(file.ReadAt(0, kHeadBytes));
    if (!layout || layout->nDataAt > *size) {
        return check;
    }
    check.bValid = true;
    const uint64_t nOnDisk = *size - layout->nDataAt;
    const bool bConsistent = layout->nStatedData <= nOnDisk &&
                             layout->nStatedData % layout->nBlockAlign == 0 &&
                             static_cast<uint64_t>(layout->nStatedRiff) + 8 == *size;
    if (bConsistent) {
        check.dSeconds = static_cast<double>(layout->nStatedData) / layout->nByteRate;
        return check;
    }
    // Everything after the data chunk's start is audio the writer got out; a
    // torn last frame is cut off. Beyond what 32 bits can state the sizes
    // are capped and the samples kept.
    uint64_t nData = nOnDisk - nOnDisk % layout->nBlockAlign;
    if (nData != nOnDisk && !file.Truncate(layout->nDataAt + nData)) {
        KestrelTrace(kTag, "cannot cut the torn end of %s", strPath.c_str());
        return check;
    }
    const uint64_t nLimit = UINT32_MAX - (layout->nDataAt - 8);
    nData = std::min(nData, nLimit - nLimit % layout->nBlockAlign);
    if (!Put<4>(file, layout->nDataAt - 4, nData) ||
        !Put<4>(file, 4, layout->nDataAt - 8 + nData)) {
        KestrelTrace(kTag, "cannot rewrite the header of %s", strPath.c_str());
        return check;
    }
    file.Sync();
    check.bRepaired = true;
    check.dSeconds = static_cast<double>(nData) / layout->nByteRate;
    KestrelTrace(kTag, "%s repaired: %llu bytes of audio", strPath.c_str(),
                 static_cast<unsigned long long>(nData));
    return check;
}

SMediaFileCheck CheckAsfFile(const std::string& strPath) {
    SMediaFileCheck check;
    CFileHandle file(strPath);
    const std::optional<uint64_t> size = file.IsOpen() ? file.Size() : std::nullopt;
    if (!size) {
        return check;
    }
    const std::optional<SAsfLayout> layout = ReadAsfLayout(file.ReadAt(0, kHeadBytes));
    const uint64_t nFirst = layout ? layout->nDataObject + kAsfDataObjectHead : 0;
    if (!layout || nFirst > *size) {
        return check;
    }
    check.bValid = true;
    const uint64_t nPackets = (*size - nFirst) / layout->nPacketSize;
    const uint64_t nDataEnd = nFirst + nPackets * layout->nPacketSize;
    const bool bConsistent = layout->nStatedFileSize == *size && nDataEnd == *size &&
                             layout->nStatedPackets == nPackets &&
                             layout->nDataPackets == nPackets &&
                             layout->nDataObjectSize == kAsfDataObjectHead + nDataEnd - nFirst;
    if (bConsistent) {
        check.dSeconds = StatedAsfSeconds(*layout);
        return check;
    }
    if (nDataEnd != *size && !file.Truncate(nDataEnd)) {
        KestrelTrace(kTag, "cannot cut the torn end of %s", strPath.c_str());
        return check;
    }
    const double dSeconds = AsfPacketSeconds(file, *layout, nPackets);
    const auto nDuration = static_cast<uint64_t>(dSeconds * 1e7);
    const uint64_t nProperties = layout->nFileProperties;
    // Seekable, no longer a broadcast of unknown length.
    const uint32_t nFlags = (layout->nFlags & ~0x1u) | 0x2u;
    const bool bWritten =
        Put<8>(file, nProperties + 40, nDataEnd) && Put<8>(file, nProperties + 56, nPackets) &&
        Put<8>(file, nProperties + 64, nDuration + layout->nPrerollMs * kHundredNsPerMs) &&
        Put<8>(file, nProperties + 72, nDuration) && Put<4>(file, nProperties + 88, nFlags) &&
        Put<8>(file, layout->nDataObject + 16, kAsfDataObjectHead + nDataEnd - nFirst) &&
        Put<8>(file, layout->nDataObject + 40, nPackets);
    if (!bWritten) {
        KestrelTrace(kTag, "cannot rewrite the header of %s", strPath.c_str());
        return check;
    }
    file.Sync();
    check.bRepaired = true;
    check.dSeconds = dSeconds;
    KestrelTrace(kTag, "%s repaired: %llu packets, %.2f s", strPath.c_str(),
                 static_cast<unsigned long long>(nPackets), dSeconds);
    return check;
}
