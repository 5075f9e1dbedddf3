#include "app/CommandLine.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "control/RadioController.h"
#include "generated/BuildInfo.h"
#include "presets/ScanPlacement.h"
#include "schedule/DataSourceId.h"
#include "schedule/NewTask.h"
#include "settings/LanguageTexts.h"

namespace {

// Options of Qt and of the X toolkit tradition that take the next argument.
constexpr std::string_view kToolkitOptionsWithValue[] = {
    "-platform",
    "-platformpluginpath",
    "-platformtheme",
    "-plugin",
    "-qmljsdebugger",
    "-qwindowgeometry",
    "-qwindowicon",
    "-qwindowtitle",
    "-session",
    "-style",
    "-stylesheet",
    "-display",
    "-geometry",
    "-name",
    "-title",
    "-font",
    "-fn",
    "-bg",
    "-background",
    "-fg",
    "-foreground",
    "-btn",
    "-button",
    "-visual",
    "-ncols",
    "-cmap",
    "-im",
    "-inputstyle",
};

constexpr int kMaxTimes = 100000;

// A whole decimal number with an optional "+": "3rd", "0x3" and numbers
// beyond int are text.
bool ParseTask(std::string_view text, int& nTask) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9') {
        return false;
    }
    const auto [pEnd, error] = std::from_chars(text.data(), text.data() + text.size(), nTask, 10);
    return error == std::errc() && pEnd == text.data() + text.size();
}

std::string_view SwitchName(std::string_view argument) {
    return argument.substr(0, argument.find('='));
}

}  // namespace

const std::vector<CCommandLine::SSwitch>& CCommandLine::Switches() {
    static const std::vector<SSwitch> switches = {
        {"--help", false,
         [](CCommandLine& line, const std::string&) { line.SetAction(EAction::Help); }},
        {"--version", false,
         [](CCommandLine& line, const std::string&) { line.SetAction(EAction::Version); }},
        {"--setup-data-source", false,
         [](CCommandLine& line, const std::string&) { line.SetAction(EAction::SetUpDataSource); }},
        {"--tune", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::Tune, "--tune", strValue);
         }},
        {"--preset", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::Preset, "--preset", strValue);
         }},
        {"--seek", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::Seek, "--seek", strValue);
         }},
        {"--record", false,
         [](CCommandLine& line, const std::string&) { line.SetVerb(EVerb::Record, "--record"); }},
        {"--for", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_bForSeen = true;
             line.m_nRecordSeconds = ParseLength(strValue);
             if (line.m_nRecordSeconds <= 0) {
                 line.SetError("--for needs a length such as 90s, 30m or 1h30m, not \"" + strValue +
                               "\"");
             }
         }},
        {"--stop", false,
         [](CCommandLine& line, const std::string&) { line.SetVerb(EVerb::Stop, "--stop"); }},
        {"--status", false,
         [](CCommandLine& line, const std::string&) { line.SetVerb(EVerb::Status, "--status"); }},
        {"--tasks", false,
         [](CCommandLine& line, const std::string&) { line.SetVerb(EVerb::Tasks, "--tasks"); }},
        {"--scan", false,
         [](CCommandLine& line, const std::string&) { line.SetVerb(EVerb::Scan, "--scan"); }},
        {"--band", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_strBand = strValue;
             if (strValue != "FM" && strValue != "AM" && strValue != "fm" && strValue != "am") {
                 line.SetError("--band is FM or AM, not \"" + strValue + "\"");
             }
         }},
        {"--store", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_strStore = strValue;
             if (!CScanPlacement::ParseMode(strValue)) {
                 line.SetError("--store is free, page or band, not \"" + strValue + "\"");
             }
         }},
        {"--preset-sets", false,
         [](CCommandLine& line, const std::string&) {
             line.SetVerb(EVerb::PresetSets, "--preset-sets");
         }},
        {"--preset-set", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::PresetSet, "--preset-set", strValue);
         }},
        {"--new-preset-set", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::NewPresetSet, "--new-preset-set", strValue);
         }},
        {"--export-presets", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::ExportPresets, "--export-presets", strValue);
         }},
        {"--import-presets", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.SetVerb(EVerb::ImportPresets, "--import-presets", strValue);
         }},
        {"--format", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_strFormat = strValue;
             if (strValue != "json" && strValue != "csv" && strValue != "gqrx") {
                 line.SetError("--format is json, csv or gqrx, not \"" + strValue + "\"");
             }
         }},
        {"--yes", false, [](CCommandLine& line, const std::string&) { line.m_bYes = true; }},
        {"--repeat", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.strRepeat = strValue;
             line.m_bRepeatSeen = true;
         }},
        {"--until", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.strUntil = strValue;
             line.m_bRepeatSeen = true;
         }},
        {"--times", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.nTimes = line.TakeCount("--times", strValue, kMaxTimes);
         }},
        {"--pad-before", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.nPadBefore =
                 line.TakeCount("--pad-before", strValue, STaskRule::kMaxPadMinutes);
         }},
        {"--keep-last", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.nKeepLast = line.TakeCount("--keep-last", strValue, STaskRule::kMaxKeep);
         }},
        {"--keep-days", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.nKeepDays = line.TakeCount("--keep-days", strValue, STaskRule::kMaxKeep);
         }},
        {"--pad-after", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_repeat.nPadAfter =
                 line.TakeCount("--pad-after", strValue, STaskRule::kMaxPadMinutes);
         }},
        {"--iq-file", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_iqOptions.strPath = strValue;
         }},
        {"--iq-format", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_bIqSeen = true;
             line.m_iqOptions.eFormat = CIqFile::FormatNamed(strValue);
             if (line.m_iqOptions.eFormat == CIqFile::EFormat::Unknown) {
                 line.SetError("--iq-format is cu8, cs16 or cf32, not \"" + strValue + "\"");
             }
         }},
        {"--iq-rate", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_bIqSeen = true;
             line.m_iqOptions.dRate = ParseHz(strValue);
             if (line.m_iqOptions.dRate <= 0) {
                 line.SetError("--iq-rate needs a sample rate such as 2.4M or 2400000, not \"" +
                               strValue + "\"");
             }
         }},
        {"--iq-center", true,
         [](CCommandLine& line, const std::string& strValue) {
             line.m_bIqSeen = true;
             line.m_iqOptions.dCenter = ParseHz(strValue);
             if (line.m_iqOptions.dCenter <= 0) {
                 line.SetError("--iq-center needs a frequency such as 98.5M or 98500000, not \"" +
                               strValue + "\"");
             }
         }},
        {"--data-source", true,
         [](CCommandLine& line, const std::string& strValue) {
             // The first one counts, as CDataSourceId::FromArguments reads it.
             if (line.m_strDataSource.empty()) {
                 line.m_strDataSource = strValue;
             }
         }},
    };
    return switches;
}

CCommandLine::CCommandLine(const std::vector<std::string>& arguments) {
    bool bOnlyPlain = false;
    for (size_t n = 1; n < arguments.size(); ++n) {
        const std::string& argument = arguments[n];
        if (bOnlyPlain) {
            TakePlain(argument);
        } else if (argument == "--") {
            bOnlyPlain = true;
        } else if (argument.starts_with("--")) {
            TakeSwitch(arguments, n);
        } else if (argument.size() > 1 && argument.front() == '-') {
            if (IsToolkitOptionWithValue(argument) && n + 1 < arguments.size()) {
                ++n;
            }
        } else if (argument.size() > 1 && argument.front() == '/' &&
                   argument.find('/', 1) == std::string::npos) {
            // "/x": a DOS-style switch, which the scheduler's command lines
            // never carry; a path is plain text.
        } else {
            TakePlain(argument);
        }
    }
    CheckVerb();
}

void CCommandLine::SetVerb(EVerb eVerb, const std::string& strName, std::string strValue) {
    const auto tunes = [](EVerb e) { return e == EVerb::Tune || e == EVerb::Preset; };
    if (!m_tuning && ((m_eVerb == EVerb::Record && tunes(eVerb)) ||
                      (tunes(m_eVerb) && eVerb == EVerb::Record))) {
        if (eVerb == EVerb::Record) {
            m_tuning = STuning{m_eVerb, m_strVerbValue};
            m_strVerbValue.clear();
        } else {
            m_tuning = STuning{eVerb, std::move(strValue)};
        }
        m_eVerb = EVerb::Record;
        m_strVerbName = "--record";
        return;
    }
    if (m_eVerb != EVerb::None) {
        SetError(strName + " cannot go with " + m_strVerbName + ": one command at a time");
        return;
    }
    m_eVerb = eVerb;
    m_strVerbName = strName;
    m_strVerbValue = std::move(strValue);
}

// BEGIN END CHANNEL and an optional MEMO: a memo that starts with "--" is
// the next option instead.
void CCommandLine::TakeTaskFields(const std::vector<std::string>& arguments, size_t& n) {
    SetVerb(EVerb::AddTask, "--add-task");
    constexpr size_t kRequired = 3;
    for (size_t nField = 0; nField < kRequired + 1 && n + 1 < arguments.size(); ++nField) {
        if (nField == kRequired && arguments[n + 1].starts_with("--")) {
            break;
        }
        m_taskFields.push_back(arguments[++n]);
    }
    if (m_taskFields.size() < kRequired) {
        SetError("--add-task needs BEGIN END CHANNEL [MEMO]");
    }
    m_taskFields.resize(kRequired + 1);
}

int CCommandLine::TakeCount(const char* pOption, const std::string& strValue, int nMax) {
    m_bRepeatSeen = true;
    int nValue = -1;
    if (!ParseTask(strValue, nValue) || nValue > nMax) {
        SetError(std::string(pOption) + " takes a number from 0 to " + std::to_string(nMax) +
                 ", not \"" + strValue + "\"");
        return 0;
    }
    return nValue;
}

double CCommandLine::ParseHz(std::string_view text) {
    const std::string strText(text);
    char* pEnd = nullptr;
    double dValue = std::strtod(strText.c_str(), &pEnd);
    if (pEnd == strText.c_str() || !std::isfinite(dValue)) {
        return 0;
    }
    const std::string_view suffix(pEnd);
    if (suffix == "k" || suffix == "K") {
        dValue *= 1e3;
    } else if (suffix == "M") {
        dValue *= 1e6;
    } else if (suffix == "G") {
        dValue *= 1e9;
    } else if (!suffix.empty() && suffix != "Hz") {
        return 0;
    }
    return dValue > 0 ? dValue : 0;
}

void CCommandLine::CheckVerb() {
    if (m_action == EAction::Error) {
        return;
    }
    if (m_bIqSeen && m_iqOptions.strPath.empty()) {
        SetError("--iq-format, --iq-rate and --iq-center go with --iq-file");
        return;
    }
    if (!m_iqOptions.strPath.empty()) {
        m_iqFile = m_iqOptions;
    }
    if (m_bForSeen && m_eVerb != EVerb::Record) {
        SetError("--for goes with --record");
        return;
    }
    if (!m_strBand.empty() && m_eVerb != EVerb::Scan) {
        SetError("--band goes with --scan");
        return;
    }
    if (!m_strStore.empty() && m_eVerb != EVerb::Scan && m_eVerb != EVerb::ImportPresets) {
        SetError("--store goes with --scan or --import-presets");
        return;
    }
    const bool bFileVerb = m_eVerb == EVerb::ExportPresets || m_eVerb == EVerb::ImportPresets;
    if (!m_strFormat.empty() && !bFileVerb) {
        SetError("--format goes with --export-presets or --import-presets");
        return;
    }
    if (m_bYes && m_eVerb != EVerb::ImportPresets) {
        SetError("--yes goes with --import-presets");
        return;
    }
    if (m_bRepeatSeen && m_eVerb != EVerb::AddTask) {
        SetError(
            "--repeat, --until, --times, --pad-before, --pad-after, --keep-last and "
            "--keep-days go with --add-task");
        return;
    }
    if (m_eVerb == EVerb::None) {
        return;
    }
    if (m_bPlainSeen) {
        SetError(m_strVerbName + " takes no task number");
        return;
    }
    if (!CheckValue(m_eVerb, m_strVerbValue) ||
        (m_tuning && !CheckValue(m_tuning->eVerb, m_tuning->strValue))) {
        return;
    }
    std::string strWhy;
    if (m_eVerb == EVerb::AddTask && !CheckTaskFields(strWhy)) {
        SetError("--add-task: " + strWhy);
        return;
    }
    if (m_eVerb == EVerb::AddTask && !CRadioController::ParseRepeat(m_repeat, strWhy)) {
        SetError("--add-task: " + strWhy);
        return;
    }
    SetAction(EAction::Remote);
}

bool CCommandLine::CheckValue(EVerb eVerb, const std::string& strValue) {
    int nSlot = -1;
    if (eVerb == EVerb::Preset && (!ParseTask(strValue, nSlot) || nSlot > 99)) {
        SetError("--preset needs a preset number 0 to 99, not \"" + strValue + "\"");
        return false;
    }
    if (eVerb == EVerb::Seek && strValue != "up" && strValue != "down") {
        SetError("--seek goes up or down, not \"" + strValue + "\"");
        return false;
    }
    const bool bNamed = eVerb == EVerb::PresetSet || eVerb == EVerb::NewPresetSet ||
                        eVerb == EVerb::ExportPresets || eVerb == EVerb::ImportPresets;
    if (bNamed && strValue.empty()) {
        SetError(m_strVerbName + " needs a value");
        return false;
    }
    if (eVerb == EVerb::Tune && strValue.empty()) {
        SetError("--tune needs a frequency such as 80.0 or 1008");
        return false;
    }
    std::string strWhy;
    if (eVerb == EVerb::Tune && !CRadioController::ParseFrequency(strValue, strWhy)) {
        SetError("--tune needs a frequency such as 80.0 or 1008: " + strWhy);
        return false;
    }
    return true;
}

// The checks that need no radio; the radio's own (the band, the schedule)
// follow when the task is added.
bool CCommandLine::CheckTaskFields(std::string& strWhy) const {
    if (!CRadioController::ParseTime(m_taskFields[0], strWhy) ||
        !CRadioController::ParseTime(m_taskFields[1], strWhy) ||
        !CRadioController::ParseFrequency(m_taskFields[2], strWhy)) {
        return false;
    }
    if (!CNewTask::IsValidMemo(m_taskFields[3])) {
        strWhy = CLanguageTexts::EnglishMessage(CNewTask::kBadMemoKey);
        return false;
    }
    return true;
}

long long CCommandLine::ParseLength(std::string_view text) {
    if (text.empty()) {
        return -1;
    }
    long long nTotal = 0;
    while (!text.empty()) {
        long long nValue = 0;
        const auto [pEnd, error] = std::from_chars(text.data(), text.data() + text.size(), nValue);
        if (error != std::errc() || pEnd == text.data() || nValue < 0) {
            return -1;
        }
        text.remove_prefix(static_cast<size_t>(pEnd - text.data()));
        long long nUnit = 1;
        if (!text.empty()) {
            switch (text.front()) {
                case 'h':
                    nUnit = 3600;
                    break;
                case 'm':
                    nUnit = 60;
                    break;
                case 's':
                    nUnit = 1;
                    break;
                default:
                    return -1;
            }
            text.remove_prefix(1);
        } else if (nTotal != 0) {
            return -1;  // "1h30": the unit of the last part is not known
        }
        constexpr long long kLongest = 366LL * 24 * 3600;
        if (nValue > kLongest / nUnit || nTotal + nValue * nUnit > kLongest) {
            return -1;
        }
        nTotal += nValue * nUnit;
    }
    return nTotal;
}

void CCommandLine::TakePlain(const std::string& argument) {
    if (m_bPlainSeen) {
        return;
    }
    m_bPlainSeen = true;
    int nTask = -1;
    // Text is no task: handed to the running copy as one, it would stop
    // that copy's recording.
    m_nTask = ParseTask(argument, nTask) ? nTask : -1;
}

void CCommandLine::TakeSwitch(const std::vector<std::string>& arguments, size_t& n) {
    const std::string& argument = arguments[n];
    const std::string_view name = SwitchName(argument);
    const bool bInlineValue = name.size() < argument.size();
    if (name == "--add-task" && !bInlineValue) {
        TakeTaskFields(arguments, n);
        return;
    }
    for (const SSwitch& entry : Switches()) {
        if (name != entry.pName) {
            continue;
        }
        if (!entry.bValue) {
            if (bInlineValue) {
                SetError("the option " + std::string(name) + " takes no value");
                return;
            }
            entry.apply(*this, {});
            return;
        }
        if (bInlineValue) {
            entry.apply(*this, argument.substr(name.size() + 1));
            return;
        }
        if (n + 1 >= arguments.size()) {
            SetError("the option " + std::string(name) + " needs a value");
            return;
        }
        entry.apply(*this, arguments[++n]);
        return;
    }
    SetError("unknown option " + std::string(name));
}

bool CCommandLine::IsToolkitOptionWithValue(std::string_view argument) {
    if (argument.find('=') != std::string_view::npos) {
        return false;
    }
    for (std::string_view option : kToolkitOptionsWithValue) {
        if (argument == option) {
            return true;
        }
    }
    return false;
}

void CCommandLine::SetAction(EAction action) {
    if (m_action == EAction::Run) {
        m_action = action;
    }
}

void CCommandLine::SetError(const std::string& strError) {
    if (m_action != EAction::Error) {
        m_action = EAction::Error;
        m_strError = strError;
    }
}

std::string CCommandLine::HelpText(std::string_view program) {
    const std::string strProgram(program.empty() ? "kestrel" : program);
    return "Usage: " + strProgram + " [TASK] [" + CDataSourceId::kSwitch + "ID]\n" + "       " +
           strProgram + " --setup-data-source\n" + "       " + strProgram +
           " --tune FREQ | --preset N | --seek up|down | --record [--for LENGTH] | --stop\n" +
           "       " + strProgram + " --status | --tasks | --add-task BEGIN END CHANNEL [MEMO]\n" +
           "           [--repeat RULE] [--until DAY] [--times N] [--pad-before MIN]\n" +
           "           [--pad-after MIN] [--keep-last N] [--keep-days N]\n" + "       " +
           strProgram + " --scan [--band FM|AM] [--store free|page|band]\n" + "       " +
           strProgram + " --preset-sets | --preset-set NAME | --new-preset-set NAME\n" + "       " +
           strProgram + " --export-presets FILE | --import-presets FILE [--yes]\n" + "       " +
           strProgram +
           " --help | --version\n"
           "\n"
           "Kestrel controls a USB AM/FM radio receiver: tuning, presets, volume,\n"
           "recordings and scheduled recordings.\n"
           "\n"
           "  TASK                  the number of the scheduled recording to make (the\n"
           "                        at daemon's jobs start Kestrel with it)\n"
           "  --data-source=ID      the data source the task belongs to (set by the job)\n"
           "  --setup-data-source   register the ODBC data source KestrelRadio where there\n"
           "                        is none, create its tables where missing, and end\n"
           "\n"
           "Commands for the radio go to the running copy; with none running, they run\n"
           "without a window and end (a recording once it is done, or on Ctrl+C):\n"
           "  --tune FREQ           tune 80.0 (FM, MHz), 1008 (AM, kHz), \"FM 80.0\"\n"
           "  --preset N            recall preset N (0-99) of the current band\n"
           "  --seek up|down        seek the next station\n"
           "  --record [--for LEN]  record, for LEN (90s, 30m, 1h30m) or until --stop;\n"
           "                        with --tune or --preset, that station; the file's\n"
           "                        name is printed, and the station's own once it is heard\n"
           "  --stop                stop the recording of the running copy\n"
           "  --status              print the radio's state as JSON\n"
           "  --tasks               print the scheduled recordings as JSON\n"
           "  --add-task BEGIN END CHANNEL [MEMO]\n"
           "                        schedule a recording; BEGIN and END as\n"
           "                        \"2026-12-24 18:00\" (local time), CHANNEL as for --tune;\n"
           "                        --repeat daily, weekly, weekdays, every:N (days) or\n"
           "                        days (mon,wed,fri), --until its last day (2027-03-31)\n"
           "                        or --times N; --pad-before and --pad-after MIN start\n"
           "                        early and end late; --keep-last N and --keep-days N\n"
           "                        remove its older recordings (file and row)\n"
           "  --scan                scan the band (--band FM|AM, else the current one) with\n"
           "                        the seek's station test and print the stations as JSON;\n"
           "                        --store free fills the free presets, page replaces\n"
           "                        presets 0-9, band replaces the band's presets\n"
           "\n"
           "Presets:\n"
           "  --preset-sets         print the preset sets as JSON (\"Home\", \"Car\", ...)\n"
           "  --preset-set NAME     switch to the preset set NAME\n"
           "  --new-preset-set NAME add an empty preset set NAME\n"
           "  --export-presets FILE write the current set to FILE: Kestrel's JSON, CSV\n"
           "                        (frequency, band, title, flag) or gqrx's bookmarks,\n"
           "                        by --format json|csv|gqrx or the file's name\n"
           "  --import-presets FILE show what importing FILE would change (--store: where\n"
           "                        stations without a slot go, free by default); --yes\n"
           "                        changes it\n"
           "\n"
           "  --iq-file PATH        an SDR dongle's IQ recording as the receiver, round and\n"
           "                        round (cu8, cs16, cf32 or IQ WAV; gqrx's and SDR++'s\n"
           "                        names give the centre and rate), with any command or\n"
           "                        the window; --iq-format cu8|cs16|cf32, --iq-rate 2.4M,\n"
           "                        --iq-center 98.5M say what the name does not\n"
           "\n"
           "  --help                show this help and end\n"
           "  --version             show the version and end\n"
           "\n"
           "Exit status: 0 done, 1 failed, 2 wrong command line or value, 3 receiver\n"
           "not plugged in, 4 refused by the radio, 5 no running copy (--stop).\n"
           "\n"
           "Environment: KESTREL_SIMULATE=1 runs the demo on a simulated receiver and\n"
           "sound card; KESTREL_PROFILE names the settings file; KESTREL_TRACE=1 writes\n"
           "the diagnostic trace to standard error.\n"
           "\n"
           "See kestrel(1) for scheduled recordings, at and the data source.\n";
}

std::string CCommandLine::VersionText() {
    return std::string("Kestrel ") + KestrelBuildInfo::kVersion + "\n";
}
