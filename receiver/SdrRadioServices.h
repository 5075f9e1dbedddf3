#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/audio/AudioCapture.h"
#include "platform/sdr/SdrDevice.h"
#include "platform/v4l2/V4l2Services.h"
#include "receiver/Receiver.h"

struct SSdrAudioSlot;
struct SSdrGapCount;
struct SSdrRadioConfig;

// The dongles as the V4L2 receiver sees its radios: each one listed as a
// radio whose "sound card" is its own demodulator ("sdr:<id>"), opened as a
// CSdrRadio, and the capture of that sound card the demodulator's audio.
//
// Contract: UI thread, as CV4l2Services and CAudioCaptureServices.
class CSdrRadioServices : public CV4l2Services, public CAudioCaptureServices {
public:
    // How a radio opened now is set up (the plan's and the options').
    using Config = std::function<SSdrRadioConfig()>;

    CSdrRadioServices(CSdrServices& sdr, Config config, double dSampleRate);
    ~CSdrRadioServices() override;

    std::vector<SV4l2Device> Enumerate() override;
    std::unique_ptr<CV4l2Radio> Open(const SV4l2Device& device, std::string& strWhy) override;
    // What every radio opened here lost; any thread.
    SReceiverGaps Gaps() const;
    std::unique_ptr<CAudioCapture> Start(const std::string& strDevice,
                                         std::shared_ptr<CAudioFeed> pFeed,
                                         FailureHandler onFailure, std::string& strWhy) override;

private:
    class CCapture;

    CSdrServices& m_sdr;
    Config m_config;
    double m_dSampleRate;
    std::shared_ptr<SSdrGapCount> m_pGaps;
    // The audio of the radios opened, by capture device name, while they live.
    std::map<std::string, std::weak_ptr<SSdrAudioSlot>> m_slots;
};
