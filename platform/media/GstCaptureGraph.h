#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/media/CaptureGraph.h"
#include "platform/media/GstCaptureSource.h"
#include "platform/media/GstSupport.h"

// The capture graph on a GStreamer pipeline:
//   source ! audioconvert ! audioresample ! capsfilter ! wavenc ! filesink
//   source ! audioconvert ! audioresample ! capsfilter ! avenc_wmav2 ! asfmux ! filesink
// The converters pass the audio through untouched when the source can give
// the format itself, and convert when it cannot.
class CGstCaptureGraph : public CCaptureGraph {
public:
    // Makes an element of a factory (owned); null when it is not installed.
    using ElementFactory = std::function<GstElementPtr(const char* factory, const char* name)>;

    // Null when the pipeline's own elements are not installed.
    static std::unique_ptr<CGstCaptureGraph> Create(ElementFactory makeElement);

private:
    struct SPasskey {
        explicit SPasskey() = default;
    };

public:
    // Through Create() only.
    CGstCaptureGraph(SPasskey, ElementFactory makeElement);
    ~CGstCaptureGraph() override;

    CGstCaptureGraph(const CGstCaptureGraph&) = delete;
    CGstCaptureGraph& operator=(const CGstCaptureGraph&) = delete;

    MediaStatus AddCaptureSource(const CMediaDevice& device) override;
    bool HasCaptureSource() const override { return m_pSource != nullptr; }
    MediaStatus EnumeratePins(std::vector<SMediaPin>& pins) override;
    MediaStatus EnableInput(int nInput, bool bEnable) override;
    MediaStatus SuggestBuffers(int nOutput, int nBuffers, int nBufferBytes,
                               int nAlignment) override;
    MediaStatus GetFormat(int nOutput, SAudioFormat& format) override;
    MediaStatus SetFormat(int nOutput, const SAudioFormat& format) override;
    MediaStatus AddWavWriter(const std::string& strPath) override;
    MediaStatus SetAsfOutput(const std::string& strPath) override;
    MediaStatus ConfigureAsf(int nBitsPerSecond) override;
    MediaStatus RenderCapture() override;
    MediaStatus Run() override;
    MediaStatus StopWhenReady() override;
    void RemoveWavChain() override;

private:
    // Output pin 0 is the source's only output pin.
    MediaStatus CheckOutputPin(int nOutput) const;
    // Makes the element and moves it into the pipeline; null on failure.
    GstElement* AddElement(const char* factory, const char* name);
    void RemoveElement(GstElement*& pElement);

    ElementFactory m_makeElement;
    // Declared before the pipeline so that it outlives it.
    std::unique_ptr<CGstCaptureSource> m_pSource;
    GstElementPtr m_pPipeline;
    // Owned by the pipeline while they are in it.
    GstElement* m_pConvert = nullptr;
    GstElement* m_pResample = nullptr;
    GstElement* m_pFormatFilter = nullptr;
    GstElement* m_pWavDest = nullptr;
    GstElement* m_pEncoder = nullptr;
    GstElement* m_pMuxer = nullptr;
    GstElement* m_pFileWriter = nullptr;

    std::optional<SAudioFormat> m_format;
    std::optional<SCaptureBuffering> m_buffering;
    bool m_bRendered = false;
    bool m_bRunning = false;
};
