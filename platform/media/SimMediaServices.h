#pragma once

#include <memory>

#include "platform/media/MediaServices.h"
#include "platform/media/SimMediaControl.h"

struct SSimMediaState;

// The simulated media services: capture devices, pins and outputs as the
// control lays them out, capture sources that record what the capture feed
// brings (the simulated receiver's audio, in real time), and the GStreamer
// capture and playback graphs, so that recordings are real files. Starts with one card,
// DefaultCaptureDevice(), and an output of the same name.
class CSimMediaServices : public CMediaServices, public CSimMediaControl {
public:
    CSimMediaServices();
    ~CSimMediaServices() override;

    static SSimCaptureDevice DefaultCaptureDevice();

    bool EnumerateCaptureDevices(MediaDeviceList& devices) override;
    bool EnumerateRenderers(MediaDeviceList& renderers) override;
    std::unique_ptr<CCaptureGraph> CreateCaptureGraph() override;
    std::unique_ptr<CPlaybackGraph> CreatePlaybackGraph() override;
    std::shared_ptr<const CMediaDevice> FeedDevice(std::shared_ptr<CAudioFeed> pFeed) override;

    void SetCaptureDevices(std::vector<SSimCaptureDevice> devices) override;
    void SetRenderers(std::vector<std::string> names) override;
    void SetEnumeratorAvailable(bool bAvailable) override;
    void SetElementMissing(const std::string& strFactory, bool bMissing) override;
    void SetCaptureFeed(std::shared_ptr<CAudioFeed> pFeed) override;
    void SetRealAudioOutput(bool bReal) override;
    void SetDiskFull(bool bFull) override;
    bool FailRecording(ECaptureFault eFault) override;
    std::vector<bool> InputStates(int nDevice) const override;
    SSimCaptureRequest LastCaptureRequest() const override;
    std::string LastRenderer() const override;

private:
    // Shared with the device objects handed out, which may outlive this.
    std::shared_ptr<SSimMediaState> m_pState;
};
