#pragma once

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

// One capture graph: a capture source bound from a device, the writer chain of
// one file and the run state. Built anew for every recording.
//
// Contract: every call comes from one thread (the UI thread); once running,
// the graph streams on threads of its own. Input pins and output pins are
// counted from 0, each kind on its own. A graph destroyed while running ends
// its stream first, so that the file written so far is complete.
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
    // Connects output pin 0 of the capture source through the chain added.
    // E_POINTER: no capture source; E_FAIL: no chain or the link failed.
    virtual MediaStatus RenderCapture() = 0;

    // Starts capturing. Fails when the device or the file cannot be opened.
    virtual MediaStatus Run() = 0;
    // Sends the end of the stream through the chain and waits (bounded) until
    // the writer has completed the file (WAV header, ASF index), then stops.
    virtual MediaStatus StopWhenReady() = 0;
    // Takes the WAV writer and the file writer out of a stopped graph.
    virtual void RemoveWavChain() = 0;
};
