#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/media/MediaStatus.h"

class CMediaDevice;

enum class EPinDirection { Input, Output };

// One pin of a capture source as its enumeration reports it. Input pins are
// the card's recording inputs (line, microphone, ...); output pins carry the
// captured audio.
struct SMediaPin {
    bool bDirectionKnown = true;  // false: the pin could not tell its direction
    EPinDirection eDirection = EPinDirection::Input;
    bool bInfoKnown = true;  // false: the pin's name could not be read
    std::string strName;     // UTF-8
};

// A PCM wave format as a capture pin reports and accepts it.
struct SAudioFormat {
    int nSamplesPerSec = 0;
    int nChannels = 0;
    int nAvgBytesPerSec = 0;
    int nBitsPerSample = 0;
    int nBlockAlign = 0;

    bool operator==(const SAudioFormat&) const = default;
};

// What a recording's file says of itself: the WAV writer's LIST INFO chunk
// and the ASF writer's content description carry it. An empty text and a
// date of 0 are left out.
struct SRecordingTags {
    std::string strTitle;
    std::string strArtist;
    std::string strComment;
    std::time_t tDate = 0;  // the start, written as the local date and time
};

// The compressed formats beside WAV and WMA, each in its usual container:
// FLAC, Opus in Ogg, MP3 with an ID3v2 tag.
enum class ECompressedFormat { Flac, Opus, Mp3 };

// Why a recording ended before it was stopped.
enum class ECaptureFault {
    None,
    DiskFull,    // the file's file system is full, or below the free-space reserve
    WriteError,  // the file could not be written (I/O error, file system gone)
    DeviceLost,  // the capture device stopped delivering audio (unplugged, taken)
};

// The free space a recording leaves by default. What the writers still need
// after the stop is small and written in place (the WAV header; the ASF
// header, the encoder's last frames and one packet, an audio-only file has no
// index), but file systems spend blocks on metadata and copy-on-write file
// systems on every rewritten block: 1 MiB covers that many times over.
inline constexpr uint64_t kDefaultFreeSpaceReserve = 1024 * 1024;

// One capture graph: a capture source bound from a device, the writer chain of
// one file and the run state. Built anew for every recording.
//
// Contract: every call comes from one thread (the UI thread); once running,
// the graph streams on threads of its own. Input pins and output pins are
// counted from 0, each kind on its own. A graph destroyed while running ends
// its stream first, so that the file written so far is complete.
//
// A running graph watches its own recording: when the device or the file
// fails, or the file system's free space falls below the reserve, it stops
// feeding the writer, lets the writer complete the file and calls the fault
// notice once, on a streaming thread. The recording stays "running" until
// StopWhenReady(), which then leaves a file whose header matches its data (or
// no file when no audio was written), and the fault and the written length
// stay readable until the graph goes.
class CCaptureGraph {
public:
    virtual ~CCaptureGraph() = default;

    // Binds the device and adds it as the graph's capture source ("Audio
    // Capture"). Fails when the device has gone or belongs to another back-end.
    virtual MediaStatus AddCaptureSource(const CMediaDevice& device) = 0;
    virtual bool HasCaptureSource() const = 0;
    // Every pin of the capture source, inputs and outputs, in its own order.
    virtual MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) = 0;
    // Switches input pin n into (or out of) the card's recording mix.
    // E_FAIL: no such input pin; E_NOINTERFACE: the input cannot be switched.
    virtual MediaStatus EnableInput(int nInput, bool bEnable) = 0;

    // Output pin n of the capture source; E_FAIL when there is no such pin,
    // E_POINTER when there is no capture source. Buffering is a suggestion
    // that sources without their own buffer control ignore.
    virtual MediaStatus SuggestBuffers(int nOutput, int nBuffers, int nBufferBytes,
                                       int nAlignment) = 0;
    virtual MediaStatus GetFormat(int nOutput, SAudioFormat& format) = 0;
    virtual MediaStatus SetFormat(int nOutput, const SAudioFormat& format) = 0;

    // WAV chain: the WAV writer and the file writer on path, which is replaced
    // when it exists. E_NOINTERFACE when a writer is not installed.
    virtual MediaStatus AddWavWriter(const std::string& strPath) = 0;
    // WMA chain: the ASF writer on path. E_NOINTERFACE when the WMA encoder or
    // the ASF multiplexer is not installed.
    virtual MediaStatus SetAsfOutput(const std::string& strPath) = 0;
    // Stereo WMA at this bit rate; without the call the encoder's default.
    virtual MediaStatus ConfigureAsf(int nBitsPerSecond) = 0;
    // FLAC, Opus or MP3 chain on path: nLevel is FLAC's compression level
    // (0-8) or the bit rate of Opus and MP3 in bits per second.
    // E_NOINTERFACE when the encoder or its container's writer is not
    // installed; E_INVALIDARG for a level out of range.
    virtual MediaStatus SetCompressedOutput(ECompressedFormat eFormat, const std::string& strPath,
                                            int nLevel) = 0;
    // The tags of the file; set before RenderCapture().
    virtual void SetTags(const SRecordingTags& tags) = 0;
    // Connects output pin 0 of the capture source through the chain added.
    // E_POINTER: no capture source; E_FAIL: no chain or the link failed.
    virtual MediaStatus RenderCapture() = 0;

    // Called at most once per recording, from a streaming thread, when the
    // recording fails; it must not block. Set before Run().
    virtual void SetFaultNotify(std::function<void()> notify) = 0;
    // Bytes of free space the recording leaves on the file's file system, so
    // that the writer can always complete the file; 0 turns the watch off
    // (then only a failed write ends the recording). Set before Run().
    virtual void SetFreeSpaceReserve(uint64_t nBytes) = 0;

    // Starts capturing. Fails when the device or the file cannot be opened,
    // and with E_DISK_FULL, before the file is made, when the free space is
    // below the reserve. A failed start leaves no file of its own behind.
    virtual MediaStatus Run() = 0;
    // Sends the end of the stream through the chain and waits (bounded) until
    // the writer has completed the file (WAV header, ASF index), then stops;
    // a file left inconsistent by a failure is repaired, one without audio
    // removed.
    virtual MediaStatus StopWhenReady() = 0;
    // Takes the WAV writer and the file writer out of a stopped graph.
    virtual void RemoveWavChain() = 0;

    // From any thread. None while the recording runs well (or never ran).
    virtual ECaptureFault Fault() const = 0;
    // What failed, for the log; empty without a fault.
    virtual std::string FaultDetail() const = 0;
    // Seconds of audio the writer has taken; after StopWhenReady(), what the
    // file holds.
    virtual double WrittenSeconds() const = 0;
    // After StopWhenReady(): false when the recording left no file (a failed
    // start, or a failure before any audio was written).
    virtual bool FileKept() const = 0;
};
