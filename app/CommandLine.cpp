#include "app/CommandLine.h"

#include <charconv>

#include "generated/BuildInfo.h"
#include "schedule/DataSourceId.h"

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
           "  --help                show this help and end\n"
           "  --version             show the version and end\n"
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
