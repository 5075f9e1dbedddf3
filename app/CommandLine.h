#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/ExitStatus.h"
#include "control/RadioController.h"
#include "platform/sdr/IqFile.h"

// The program's command line. The first plain parameter is the task number
// of a scheduled recording (a number; any other text is no task). Kestrel's
// own switches start with "--"; one that is not known is an error. Qt's and
// X's single-dash options (-platform xcb, -style, -reverse) belong to the
// toolkit, which reads them itself: they are stepped over with their values.
//
// A verb for the radio (--tune 80.0, --record, --status) is one row of
// Switches() and one EVerb; a value may follow its switch as "--tune=80.0" or
// "--tune 80.0". One verb per command line, and no task number beside it;
// only --record may have a --tune or --preset beside it, tuned first.
class CCommandLine {
public:
    enum class EAction {
        Run,              // the radio, with or without a task
        Help,             // print HelpText() and end
        Version,          // print VersionText() and end
        SetUpDataSource,  // register KestrelRadio and its tables, then end
        Remote,           // a verb for the radio (Verb()), to the running copy or headless
        Error,            // print ErrorText() and the hint, end with status 2
    };

    // The verbs that remote-control the radio.
    enum class EVerb {
        None,
        Tune,
        Preset,
        Seek,
        Record,
        Stop,
        Status,
        Tasks,
        AddTask,
        Scan,
        PresetSets,
        PresetSet,
        NewPresetSet,
        ExportPresets,
        ImportPresets
    };

    // arguments[0] is the program.
    explicit CCommandLine(const std::vector<std::string>& arguments);

    EAction Action() const { return m_action; }
    // The task number; -1 without one (no plain parameter, or one that is
    // not a number).
    int TaskNumber() const { return m_nTask; }
    // The data source a scheduled job was made for (--data-source=<id>);
    // empty without one.
    const std::string& DataSource() const { return m_strDataSource; }
    EVerb Verb() const { return m_eVerb; }
    // The verb's value: the frequency of --tune, the slot of --preset, "up"
    // or "down" of --seek.
    const std::string& VerbValue() const { return m_strVerbValue; }
    // The --tune or --preset beside --record, with its value: the station
    // to record; none without.
    struct STuning {
        EVerb eVerb = EVerb::None;
        std::string strValue;
    };
    const std::optional<STuning>& Tuning() const { return m_tuning; }
    // The length --for gives --record, in seconds; 0 records until stopped.
    long long RecordSeconds() const { return m_nRecordSeconds; }
    // --band of --scan: "FM", "AM", or empty for the current band.
    const std::string& ScanBand() const { return m_strBand; }
    // --store of --scan and --import-presets: "free", "page" or "band";
    // empty without.
    const std::string& Store() const { return m_strStore; }
    // --format of --export-presets and --import-presets: "json", "csv" or
    // "gqrx"; empty: from the file's name.
    const std::string& PresetFormat() const { return m_strFormat; }
    // --yes: an import is applied, not only shown.
    bool Confirmed() const { return m_bYes; }
    // BEGIN, END, CHANNEL and MEMO of --add-task (MEMO may be empty).
    const std::vector<std::string>& TaskFields() const { return m_taskFields; }
    // --repeat, --until, --times, --pad-before, --pad-after, --keep-last and
    // --keep-days of --add-task.
    const CRadioController::SRepeat& Repeat() const { return m_repeat; }
    bool HasRepeat() const { return m_bRepeatSeen; }
    // "30m", "90s", "1h30m" or plain seconds; -1 for text that is no length.
    static long long ParseLength(std::string_view text);

    // The IQ recording --iq-file plays as the receiver (with --iq-format,
    // --iq-rate and --iq-center); none without it.
    const std::optional<CIqFile::SOptions>& IqFile() const { return m_iqFile; }
    // "98.5M", "2.4e6", "96000": a frequency or rate in Hz; 0 for no number.
    static double ParseHz(std::string_view text);

    // What was wrong with the command line, for EAction::Error.
    const std::string& ErrorText() const { return m_strError; }

    static std::string HelpText(std::string_view program);
    static std::string VersionText();
    // The exit status for a command line that was not understood.
    static constexpr int kUsageError = KestrelExit::kUsage;

private:
    struct SSwitch {
        const char* pName;  // with its "--"
        bool bValue;        // takes a value
        std::function<void(CCommandLine&, const std::string&)> apply;
    };
    static const std::vector<SSwitch>& Switches();
    static bool IsToolkitOptionWithValue(std::string_view argument);

    void TakePlain(const std::string& argument);
    void TakeSwitch(const std::vector<std::string>& arguments, size_t& n);
    void SetAction(EAction action);
    void SetError(const std::string& strError);
    void SetVerb(EVerb eVerb, const std::string& strName, std::string strValue = {});
    void TakeTaskFields(const std::vector<std::string>& arguments, size_t& n);
    // A number 0 to nMax of a repeat option; 0 and the error for other text.
    int TakeCount(const char* pOption, const std::string& strValue, int nMax);
    void CheckVerb();
    bool CheckValue(EVerb eVerb, const std::string& strValue);
    bool CheckTaskFields(std::string& strWhy) const;

    EAction m_action = EAction::Run;
    int m_nTask = -1;
    bool m_bPlainSeen = false;
    std::string m_strDataSource;
    std::string m_strError;
    EVerb m_eVerb = EVerb::None;
    std::string m_strVerbName;
    std::string m_strVerbValue;
    std::optional<STuning> m_tuning;
    long long m_nRecordSeconds = 0;
    bool m_bForSeen = false;
    std::string m_strBand;
    std::string m_strStore;
    std::string m_strFormat;
    bool m_bYes = false;
    std::vector<std::string> m_taskFields;
    CRadioController::SRepeat m_repeat;
    bool m_bRepeatSeen = false;
    std::optional<CIqFile::SOptions> m_iqFile;
    CIqFile::SOptions m_iqOptions;  // what the --iq- switches said
    bool m_bIqSeen = false;         // a --iq- switch besides --iq-file
};
