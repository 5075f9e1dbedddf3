#pragma once

#include <optional>
#include <string>

#include "platform/profile/RecordFormat.h"

class CProfile;

// Every setting of the application profile in one place: its section, key,
// type and default. The presets' keys (section KEYS) are the preset store's.
// Reads go to the profile each time, so a value another window just wrote is
// seen; a write that fails returns false and leaves the profile as it was.
//
// As thread-safe as the profile: the tuner writes frequencies from its seek
// worker.
class CSettings {
public:
    explicit CSettings(CProfile& profile) : m_profile(profile) {}

    // SETTING: where the radio was left.
    unsigned AmFrequency() const;  // kHz, default 520
    unsigned FmFrequency() const;  // 10 kHz units, default 8750
    bool SetFrequency(bool bFm, unsigned frequency);
    int LastBand() const;  // 1 FM (default), 0 AM
    bool SetLastBand(int nBand);

    // SET: the options.
    int Standard() const;   // 0 Europe, 1 Japan (default), 2 USA
    int ScanLevel() const;  // 0, 1 (default) or 2
    // The language index, or nDefault when none is stored.
    int LanguageIndex(int nDefault) const;
    bool HasLanguage() const;
    std::string RecordPath() const;  // default RadioRecord in the home folder
    int RecordType() const;          // 0 WMA (default), 1 WAV, 2 FLAC, 3 Opus, 4 MP3
    ERecordFormat RecordFormat() const { return RecordFormats::FromType(RecordType()); }
    bool IsWav() const { return RecordFormat() == ERecordFormat::Wav; }
    // SET/NAMEPATTERN: how recordings are named (CRecordName's fields);
    // empty, the default, names them by their start time.
    std::string NamePattern() const;
    bool SetNamePattern(const std::string& strPattern);
    int Quality() const;  // 0 normal (default), 1 good, 2 best
    std::string DeviceName() const;
    std::string PinName() const;
    int PinType() const;  // default microphone
    bool SetOptions(int nStandard, int nScanLevel, int nQuality, int nRecordType,
                    const std::string& strPath, int nLanguage);
    bool SetInput(const std::string& strDeviceName, const std::string& strPinName, int nPinType);

    static std::string DefaultRecordPath();

    // SET/RECEIVER: the kind of receiver to use ("hid"); empty: the one that
    // is plugged in.
    std::string ReceiverKind() const;
    // SET/RECEIVERDEVICE: which of several receivers of a kind to open, by the
    // identity its kind gives it (a V4L2 radio's USB vendor, product and
    // serial); empty: the first plugged in.
    std::string ReceiverDevice() const;
    bool SetReceiverDevice(const std::string& strId);

    // SET/SDRGAIN: an SDR dongle's gain in dB; "auto" or nothing (the
    // default): the tuner's automatic gain.
    std::optional<double> SdrGain() const;
    // SET/SDRPPM: the dongle's crystal's error in parts per million, 0 by default.
    double SdrCorrection() const;
    // SET/SDRUPCONVERTER: the shift in Hz of an upconverter ahead of the
    // dongle (125000000 for the common HF ones); 0, the default: none.
    double SdrUpconverter() const;

    // SET: where the player last saved a copy; empty when it never did.
    std::string CopyFolder() const;
    bool SetCopyFolder(const std::string& strFolder);

private:
    CProfile& m_profile;
};
