#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <memory>
#include <mutex>

#include "mixer/MixerLine.h"
#include "presets/PresetChange.h"
#include "presets/PresetEntry.h"
#include "presets/ScanPlacement.h"
#include "receiver/BandScan.h"
#include "schedule/TaskRule.h"

class CControlTarget;
class CMessageTarget;

// What the outside sees of the radio: one snapshot, compared with the last
// one to tell listeners what changed.
struct SRadioState {
    bool bPresent = false;
    bool bMuted = false;
    std::uint32_t nVolume = 0;  // 0..0xFFFF
    int nBand = 1;              // 1 FM, 0 AM
    unsigned nFrequency = 0;
    int nSlot = -1;              // the preset slot of the frequency, -1 for none
    std::string strTitle;        // that preset's title
    std::string strChannelText;  // "FM 87.50MHz"
    std::string strStation;      // the name the station sends (RDS), if any
    std::string strRadioText;    // what it says (RDS), if any
    bool bHasPresets = false;    // the band has a filled slot
    bool bRecording = false;
    std::string strRecordFile;  // the current or last recording
    std::int64_t nRecordedSeconds = 0;

    // The preset's title, else the station's own name, else the frequency.
    std::string DisplayTitle() const {
        return !strTitle.empty() ? strTitle : !strStation.empty() ? strStation : strChannelText;
    }
    bool operator==(const SRadioState&) const = default;
};

// A scheduled recording as the outside sees it.
struct STaskInfo {
    int nId = 0;
    std::time_t begin = 0;
    std::time_t end = 0;
    int nBand = 1;
    unsigned nFrequency = 0;
    std::string strChannelText;  // "FM 80.00MHz"
    bool bMute = false;
    std::string strMemo;
    // Of a repeating or padded task (begin and end are then its next
    // occurrence's recording, padding included); none for a plain one.
    std::optional<STaskRule> rule;
};

// Remote control of the radio, with no toolkit: the media keys, the script
// interface and the command line all go through these operations, which work
// on the window or a run with no window alike (CControlTarget), and the
// master volume and mute of the sound card, which the window follows through
// the mixer's change notices.
//
// UI thread only. The target must outlive the controller.
class CRadioController {
public:
    // Why an operation was not done.
    enum class EResult { Done, ReceiverAbsent, Refused, BadValue };

    // pNotify receives the mixer's change notices of the master volume and
    // mute (MM_MIXM_CONTROL_CHANGE).
    CRadioController(CControlTarget& target, CMessageTarget* pNotify);

    SRadioState State();
    CControlTarget& Target() { return m_target; }

    // The next or previous filled preset slot of the band, round the end.
    EResult Next();
    EResult Previous();
    EResult SetMuted(bool bMuted);
    void ToggleMute();
    void SetVolume(std::uint32_t nVolume);

    // "80.0", "FM 80.0", "AM 1008", "1008": a decimal point or a number
    // below 300 is FM in MHz, otherwise AM in kHz.
    EResult Tune(std::string_view text, std::string& strWhy);
    // strNote says so when the preset's frequency lies outside the band (the
    // region changed since it was stored) and another one was tuned.
    EResult RecallPreset(int nSlot, std::string& strWhy, std::string& strNote);
    EResult Seek(bool bUp);
    // A seek runs (until its worker has ended).
    bool IsSeeking();
    // The band scan of nBand (the current one for -1); its progress is read
    // by polling ScanProgress() until IsScanning() is false.
    EResult StartScan(int nBand, std::string& strWhy);
    // The scan started here runs.
    bool IsScanning();
    SScanProgress ScanProgress() const;
    void CancelScan();
    // What a scan that ended found: the listener's station tuned again, and,
    // with a store mode, the stations stored by it (nothing for a cancelled
    // scan); page is the keypad page the page mode replaces.
    struct SScanResult {
        int nBand = 1;
        bool bCancelled = false;
        std::vector<SScanStation> stations;
        std::vector<SPresetChange> stored;
        bool bStoreFailed = false;
    };
    SScanResult FinishScan(std::optional<CScanPlacement::EMode> store, int nPage = 0);
    // The presets were changed from outside (a scan's store, the command
    // line): the window's keypad and the outside follow.
    void PresetsChanged();

    // nSeconds > 0 stops the recording after that long (checked by Tick).
    EResult StartRecording(std::int64_t nSeconds, std::string& strWhy);
    EResult StopRecording();
    // Ends a recording whose length has passed; call it on a short clock.
    void Tick();
    // A recording started here with a length that still runs.
    bool HasTimedRecording() const { return m_stopAt.has_value(); }

    // The scheduled recordings by begin; false with the reason when the
    // table cannot be read.
    bool Tasks(std::vector<STaskInfo>& tasks, std::string& strWhy);
    // A new scheduled recording through the new task window's checks. BEGIN
    // and END as "2026-12-24 18:00" (or with a "T"), local time; the channel
    // as for Tune. nId is the stored task's number.
    EResult AddTask(std::string_view begin, std::string_view end, std::string_view channel,
                    const std::string& strMemo, int& nId, std::string& strWhy);
    // How a new task repeats and its padding, as the command line and the
    // script interface give them: the repeat as STaskRule::ParseRepeat()
    // reads it (empty is once), the last day as "2027-03-31" (empty: none),
    // at most nTimes occurrences (0: no limit), minutes before and after,
    // and which of its recordings it keeps.
    struct SRepeat {
        std::string strRepeat;
        std::string strUntil;
        int nTimes = 0;
        int nPadBefore = 0;
        int nPadAfter = 0;
        int nKeepLast = 0;  // retention: the last N recordings, 0 all
        int nKeepDays = 0;  // retention: those of the last N days, 0 all
    };
    EResult AddTask(std::string_view begin, std::string_view end, std::string_view channel,
                    const std::string& strMemo, const SRepeat& repeat, int& nId,
                    std::string& strWhy);
    // The rule a repeat gives; nothing with the reason for one that is wrong.
    static std::optional<STaskRule> ParseRepeat(const SRepeat& repeat, std::string& strWhy);
    // "2026-12-24 18:00" or "2026-12-24T18:00[:ss]" in local time, seconds
    // dropped; nothing for other text, for a day the calendar does not have
    // and for a time the clocks skip, with the reason in strWhy.
    static std::optional<std::time_t> ParseTime(std::string_view text, std::string& strWhy);

    // The frequency a text names, by the rule of Tune; nothing with the
    // reason when the text is not one.
    struct SFrequency {
        int nBand = 1;
        unsigned nFrequency = 0;
    };
    static std::optional<SFrequency> ParseFrequency(std::string_view text, std::string& strWhy);

private:
    // What the presets say of a frequency.
    struct SPresetView {
        int nSlot = -1;
        std::string strTitle;
        bool bHasPresets = false;
    };
    SPresetView PresetView(int nBand, unsigned nFrequency) const;
    EResult Step(int nDirection);
    bool Present();

    CControlTarget& m_target;
    CMixerLine m_masterMute;
    CMixerLine m_masterVolume;
    std::optional<std::chrono::milliseconds> m_stopAt;  // on the clock's Uptime()
    // Written by the scan's worker, read on the UI thread.
    struct SScanWatch {
        std::mutex mutex;
        SScanProgress progress;
        bool bCancelled = false;
        bool bEnded = false;
    };
    std::shared_ptr<SScanWatch> m_pScanWatch = std::make_shared<SScanWatch>();
    uint64_t m_nScan = 0;  // the core's number of the scan started here
};
