#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "schedule/ScheduleBridge.h"
#include "schedule/TaskRule.h"
#include "skin/Dialog.h"

class CRadioCore;

// Schedules one recording (template 137, skin "NewTaskWin"): begin and end
// to the minute, a station from the presets or typed as band and frequency,
// a memo and whether the sound card is muted meanwhile; how it repeats (with
// its last day or count), the minutes it starts early and ends late, and
// whether it is enabled. EditTask() opens it on a stored task, which OK
// replaces; CopyTask() on a copy of one, which OK adds. Add checks the
// entries in a fixed order and refuses with a message box at the first that
// fails, also when no work item could be made now; otherwise it stores a
// Task row, registers its work item and ends with IDOK. A row whose work
// item fails to register is deleted again.
//
// UI thread only. The core must outlive the dialog.
class CNewTaskDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 137;
    enum : int {
        IDC_MEMO = 1022,
        IDC_BEGIN_DATE = 1023,
        IDC_BEGIN_TIME = 1024,
        IDC_END_DATE = 1025,
        IDC_END_TIME = 1026,
        IDC_BAND = 1027,
        IDC_REPEAT = 1028,
        IDC_EVERY_DAYS = 1029,
        IDC_UNTIL_DATE = 1030,
        IDC_MUTE = 1031,
        IDC_UNTIL = 1032,
        IDC_TIMES = 1033,
        IDC_PAD_BEFORE = 1035,
        IDC_PAD_AFTER = 1036,
        IDC_ENABLED = 1037,
        IDC_KEEP_LAST = 1038,
        IDC_KEEP_DAYS = 1039,
        IDC_MONDAY = 1060,  // to IDC_MONDAY + 6, Sunday
        IDC_CHANNEL = 1043,
        IDC_FREQUENCY = 1047,
        IDC_BEGIN_LABEL = 1052,
        IDC_MEMO_LABEL = 1056,
        IDC_TITLE = 1059,
    };
    enum : int { BAND_AM = 0, BAND_FM = 1 };
    // The repeat list's entries.
    enum : int {
        REPEAT_ONCE,
        REPEAT_DAILY,
        REPEAT_WEEKDAYS,
        REPEAT_WEEKLY,
        REPEAT_DAYS,
        REPEAT_EVERY
    };
    static constexpr const char* kBadNumberKey = "MESSAGE_76";

    CNewTaskDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent = nullptr);

    // Calendar date of date combined with the hour and minute of time, in
    // local time, seconds 0.
    static std::time_t CombineDateTime(std::time_t date, std::time_t time);
    // The start of the next hour of local time after now.
    static std::time_t NextWholeHour(std::time_t now);
    static constexpr std::time_t kDefaultLength = 3600;
    // The identifier of the task the last Add stored; 0 before, and after a
    // row whose work item failed was deleted again.
    int StoredTask() const { return m_nStoredTask; }
    // Before DoModal(): opens on task nTask, to change it or to add a copy.
    void EditTask(int nTask) {
        m_nSourceTask = nTask;
        m_bReplace = true;
    }
    void CopyTask(int nTask) {
        m_nSourceTask = nTask;
        m_bReplace = false;
    }

    // The rule of the repeat entries; false for a number that is not one.
    bool BuildRule(STaskRule& rule) const;

    CScheduleBridge m_bridge;
    CRadioCore* const m_pCore;
    std::time_t m_BeginDate = 0;
    std::time_t m_BeginTime = 0;
    std::time_t m_EndDate = 0;
    std::time_t m_EndTime = 0;
    std::string m_strFrequency;
    std::string m_strMemo;
    int m_nBand = -1;
    int m_nMute = 0;
    int m_nRepeat = REPEAT_ONCE;
    std::string m_strEveryDays = "2";
    int m_days[7] = {};  // Monday first
    int m_nUntil = 0;
    std::time_t m_UntilDate = 0;
    std::string m_strTimes;
    std::string m_strPadBefore = "0";
    std::string m_strPadAfter = "0";
    int m_nEnabled = 1;
    std::string m_strKeepLast;  // empty keeps every recording
    std::string m_strKeepDays;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;

private:
    void SetTexts();
    void LayOut();
    void FillChannels();
    void OnChannel();
    void LoadTask(int nTask);
    void ShowRule(const STaskRule& rule);
    // Only the entries the repeat uses take input.
    void EnableRepeatControls();
    void ShowError(const std::string& strText);

    int m_nStoredTask = 0;
    int m_nSourceTask = 0;
    bool m_bReplace = false;
};
