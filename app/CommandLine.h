#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The program's command line. The first plain parameter is the task number
// of a scheduled recording (a number; any other text is no task). Kestrel's
// own switches start with "--"; one that is not known is an error. Qt's and
// X's single-dash options (-platform xcb, -style, -reverse) belong to the
// toolkit, which reads them itself: they are stepped over with their values.
//
// A new verb (--tune 80.0, --record, --status) is one row of kSwitches and
// one EAction; a value may follow its switch as "--tune=80.0" or
// "--tune 80.0".
class CCommandLine {
public:
    enum class EAction {
        Run,              // the radio, with or without a task
        Help,             // print HelpText() and end
        Version,          // print VersionText() and end
        SetUpDataSource,  // register KestrelRadio and its tables, then end
        Error,            // print ErrorText() and the hint, end with status 2
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
    // What was wrong with the command line, for EAction::Error.
    const std::string& ErrorText() const { return m_strError; }

    static std::string HelpText(std::string_view program);
    static std::string VersionText();
    // The exit status for a command line that was not understood.
    static constexpr int kUsageError = 2;

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

    EAction m_action = EAction::Run;
    int m_nTask = -1;
    bool m_bPlainSeen = false;
    std::string m_strDataSource;
    std::string m_strError;
};
