#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/mixer/MixerServices.h"

class CMessageTarget;

// One control of one line of a sound card mixer: Init() opens the device,
// finds the line by component type and the control by control type, and
// keeps the control's value buffer. Volumes are 0..65535, mutes 0 or 1.
// A closed object (no device, or after any failed Init) ignores writes and
// reads 0. Used from the UI thread.
class CMixerBase {
public:
    explicit CMixerBase(CMixerServices& services);
    virtual ~CMixerBase();

    CMixerBase(const CMixerBase&) = delete;
    CMixerBase& operator=(const CMixerBase&) = delete;

    // nSourceType is a SRC_* type or MIXER_NO_SOURCE for the destination
    // line itself; an empty strMixerName takes the first device.
    bool Init(uint32_t nDestinationType, uint32_t nSourceType, uint32_t nControlType,
              CMessageTarget* pNotify, const std::string& strMixerName);
    bool InitMXDetails();
    bool ReadDetails();

    bool SetVolume(int nValue);
    bool SetMute(int nOn);
    uint32_t GetValue();

    int FindDestination(SMixerLine& line, uint32_t nComponentType);
    int FindSource(SMixerLine& line, uint32_t nComponentType);

    int ListDevices(std::vector<std::string>& names);
    int ListSpeakerSources(int nMixerID, std::vector<std::string>& names,
                           std::vector<uint32_t>& types);

    static const char* ControlTypeName(uint32_t nControlType);
    static const char* LineTypeName(uint32_t nComponentType);

    bool IsOpen() const { return m_pMixer != nullptr; }
    const std::string& LineName() const { return m_strLineName; }
    const std::string& LineShortName() const { return m_strLineShortName; }

protected:
    // The value buffer; the container outlives every Init, its contents do not.
    const std::vector<uint32_t>& Values() const { return m_Values; }

private:
    int FindDevice(const std::string& strMixerName, uint32_t nDevices);
    void Close();

    CMixerServices& m_services;

    uint32_t m_nControlID = 0;
    std::string m_strLineName;
    std::string m_strDestinationName;
    std::string m_strLineShortName;
    std::unique_ptr<CMixerHandle> m_pMixer;
    SMixerControl m_Control;
    uint32_t m_nLineChannels = 0;
    SMixerControlDetails m_Details;
    std::vector<uint32_t> m_Values;
};
