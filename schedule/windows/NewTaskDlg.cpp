#include "schedule/windows/NewTaskDlg.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>

#include <cstdlib>
#include <optional>

#include "core/RadioCore.h"
#include "platform/clock/Clock.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "presets/PresetStore.h"
#include "schedule/NewTask.h"
#include "schedule/TaskRules.h"
#include "schedule/TaskSet.h"
#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/SkinEngine.h"

namespace {

constexpr std::pair<int, const char*> kTexts[] = {
    {CNewTaskDlg::IDC_TITLE, "NA_WINTITLE"},
    {1052, "NA_BEGINTIME"},
    {1053, "NA_ENDTIME"},
    {1054, "NA_CHANNEL"},
    {1055, "NA_FREQUENCY"},
    {1056, "NA_MEMO"},
    {CNewTaskDlg::IDC_MUTE, "NA_MUTE"},
    {1057, "NA_REPEAT"},
    {1058, "NA_DAYS"},
    {CNewTaskDlg::IDC_UNTIL, "NA_UNTIL"},
    {1067, "NA_TIMES"},
    {1068, "NA_PAD_BEFORE"},
    {1069, "NA_PAD_AFTER"},
    {CNewTaskDlg::IDC_ENABLED, "NA_ENABLED"},
    {1070, "NA_KEEP_LAST"},
    {1071, "NA_KEEP_DAYS"},
    {CDialog::IDOK, "ALL_OK"},
    {CDialog::IDCANCEL, "ALL_CANCLE"},
};

constexpr const char* kRepeatKeys[] = {
    "NA_REPEAT_ONCE",   "NA_REPEAT_DAILY", "NA_REPEAT_WEEKDAYS",
    "NA_REPEAT_WEEKLY", "NA_REPEAT_DAYS",  "NA_REPEAT_EVERY",
};
constexpr int kMondayToFriday = 0x3E;

// The rule's bit of the check box of day n, Monday first.
int DayBit(int nDay) {
    return 1 << ((nDay + 1) % 7);
}

// A whole number from 0 to nMax; empty is nEmpty.
std::optional<int> Number(const std::string& strText, int nMax, int nEmpty = 0) {
    if (strText.empty()) {
        return nEmpty;
    }
    char* pEnd = nullptr;
    const long nValue = std::strtol(strText.c_str(), &pEnd, 10);
    if (*pEnd != '\0' || nValue < 0 || nValue > nMax) {
        return std::nullopt;
    }
    return static_cast<int>(nValue);
}

}  // namespace

CNewTaskDlg::CNewTaskDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent), m_bridge(pCore->Services().scheduler), m_pCore(pCore) {
    Commands().On(IDC_CHANNEL, CCommandMap::SelChange, [this] { OnChannel(); });
    Commands().On(IDC_REPEAT, CCommandMap::SelChange, [this] { EnableRepeatControls(); });
    Commands().On(IDC_UNTIL, CCommandMap::Clicked, [this] { EnableRepeatControls(); });
}

bool CNewTaskDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "NewTaskWin");
    }
    SetTexts();
    LayOut();

    // A begin of now could never be accepted: the next whole hour, for an hour.
    const std::time_t begin = NextWholeHour(m_pCore->Services().clock.Now());
    m_BeginDate = m_BeginTime = begin;
    m_EndDate = m_EndTime = begin + kDefaultLength;
    m_UntilDate = begin;
    m_nBand = m_pCore->Band() == CReceiver::BAND_FM ? BAND_FM : BAND_AM;
    m_strFrequency = m_nBand == BAND_FM ? CPresetStore::FrequencyNumber(
                                              BAND_FM, m_pCore->Frequency(CReceiver::BAND_FM))
                                        : std::to_string(m_pCore->Frequency(CReceiver::BAND_AM));
    if (m_nSourceTask != 0) {
        LoadTask(m_nSourceTask);
    }
    UpdateData(false);
    EnableRepeatControls();

    for (int nId : {IDC_BEGIN_TIME, IDC_END_TIME}) {
        if (auto* pPicker = GetDlgItemAs<QDateTimeEdit>(nId)) {
            pPicker->setDisplayFormat("HH:mm");
        }
    }
    FillChannels();
    return true;
}

// A key the language file lacks gives an empty text, as in every window.
void CNewTaskDlg::SetTexts() {
    for (const auto& [nId, pKey] : kTexts) {
        SetDlgItemText(nId, m_pCore->GetText(pKey));
    }
    const char* pTitle = m_bReplace ? "NA_EDITTITLE" : "NA_WINTITLE";
    SetDlgItemText(IDC_TITLE, m_pCore->GetText(pTitle));
    setWindowTitle(QString::fromStdString(m_pCore->GetText(pTitle)));
    if (auto* pRepeat = GetDlgItemAs<QComboBox>(IDC_REPEAT)) {
        for (int n = 0; n < pRepeat->count() && n < static_cast<int>(std::size(kRepeatKeys)); ++n) {
            const std::string strText = m_pCore->GetText(kRepeatKeys[n]);
            if (!strText.empty()) {
                pRepeat->setItemText(n, QString::fromStdString(strText));
            }
        }
    }
    if (QWidget* pEvery = GetDlgItem(IDC_EVERY_DAYS)) {
        pEvery->setAccessibleName(QString::fromStdString(m_pCore->GetText("NA_EVERY_DAYS")));
    }
    // One letter shows each day; its whole name is what a screen reader says.
    const QString strLetters = QString::fromStdString(m_pCore->GetText("NA_DAY_LETTERS"));
    const QStringList names =
        QString::fromStdString(m_pCore->GetText("NA_DAY_NAMES")).split(QLatin1Char(','));
    static const char* const kEnglish[] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                           "Friday", "Saturday", "Sunday"};
    for (int n = 0; n < 7; ++n) {
        QWidget* pDay = GetDlgItem(IDC_MONDAY + n);
        if (!pDay) {
            continue;
        }
        if (strLetters.size() == 7) {
            SetDlgItemText(IDC_MONDAY + n, QString(strLetters[n]).toStdString());
        }
        pDay->setAccessibleName(names.size() == 7 ? names[n] : QString::fromLatin1(kEnglish[n]));
    }
}

void CNewTaskDlg::EnableRepeatControls() {
    const auto* pRepeat = GetDlgItemAs<QComboBox>(IDC_REPEAT);
    const int nRepeat = pRepeat ? pRepeat->currentIndex() : REPEAT_ONCE;
    const auto* pUntil = GetDlgItemAs<QAbstractButton>(IDC_UNTIL);
    const bool bRepeats = nRepeat > REPEAT_ONCE;
    const auto enable = [this](int nId, bool bEnable) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->setEnabled(bEnable);
        }
    };
    enable(IDC_EVERY_DAYS, nRepeat == REPEAT_EVERY);
    for (int n = 0; n < 7; ++n) {
        enable(IDC_MONDAY + n, nRepeat == REPEAT_DAYS);
    }
    enable(IDC_UNTIL, bRepeats);
    enable(IDC_UNTIL_DATE, bRepeats && pUntil && pUntil->isChecked());
    enable(IDC_TIMES, bRepeats);
    enable(IDC_KEEP_LAST, bRepeats);
    enable(IDC_KEEP_DAYS, bRepeats);
}

// The task's next occurrence is the edited task's first; the row holds it
// with its padding, which the entries show apart.
void CNewTaskDlg::LoadTask(int nTask) {
    CTaskSet& tasks = m_pCore->TaskSet();
    std::time_t end = 0;
    if (!tasks.GetEndTime(nTask, end)) {
        m_nSourceTask = 0;
        m_bReplace = false;
        return;
    }
    std::time_t begin = tasks.m_BeginTime;
    const CChannelWord word(CTaskSet::ChannelWord(tasks.m_Channel));
    m_nBand = word.Band() == CChannelWord::BAND_FM ? BAND_FM : BAND_AM;
    m_strFrequency = CPresetStore::FrequencyNumber(m_nBand, word.TaskFrequency());
    m_nMute = word.Mute() ? 1 : 0;
    m_strMemo = tasks.m_Memo;
    if (const std::optional<STaskRule> rule =
            CTaskRules(m_pCore->Services().database).Find(nTask)) {
        begin += 60 * static_cast<std::time_t>(rule->nPadBefore);
        end -= 60 * static_cast<std::time_t>(rule->nPadAfter);
        ShowRule(*rule);
    }
    m_BeginDate = m_BeginTime = begin;
    m_EndDate = m_EndTime = end;
}

void CNewTaskDlg::ShowRule(const STaskRule& rule) {
    switch (rule.eRepeat) {
        case STaskRule::ERepeat::Once:
            m_nRepeat = REPEAT_ONCE;
            break;
        case STaskRule::ERepeat::Daily:
            m_nRepeat = REPEAT_DAILY;
            break;
        case STaskRule::ERepeat::Weekly:
            m_nRepeat = REPEAT_WEEKLY;
            break;
        case STaskRule::ERepeat::EveryDays:
            m_nRepeat = REPEAT_EVERY;
            m_strEveryDays = std::to_string(rule.nEveryDays);
            break;
        case STaskRule::ERepeat::Weekdays:
            m_nRepeat = rule.nWeekdays == kMondayToFriday ? REPEAT_WEEKDAYS : REPEAT_DAYS;
            break;
    }
    for (int n = 0; n < 7; ++n) {
        m_days[n] = (rule.nWeekdays & DayBit(n)) ? 1 : 0;
    }
    m_nUntil = rule.until != 0 ? 1 : 0;
    if (rule.until != 0) {
        m_UntilDate = rule.until;
    }
    m_strTimes = rule.nTimes > 0 ? std::to_string(rule.nTimes) : std::string();
    m_strPadBefore = std::to_string(rule.nPadBefore);
    m_strPadAfter = std::to_string(rule.nPadAfter);
    m_nEnabled = rule.bEnabled ? 1 : 0;
    m_strKeepLast = rule.nKeepLast > 0 ? std::to_string(rule.nKeepLast) : std::string();
    m_strKeepDays = rule.nKeepDays > 0 ? std::to_string(rule.nKeepDays) : std::string();
}

bool CNewTaskDlg::BuildRule(STaskRule& rule) const {
    const std::optional<int> nEvery = Number(m_strEveryDays, STaskRule::kMaxEveryDays, 1);
    const std::optional<int> nTimes = Number(m_strTimes, 100000);
    const std::optional<int> nBefore = Number(m_strPadBefore, STaskRule::kMaxPadMinutes);
    const std::optional<int> nAfter = Number(m_strPadAfter, STaskRule::kMaxPadMinutes);
    const std::optional<int> nKeepLast = Number(m_strKeepLast, STaskRule::kMaxKeep);
    const std::optional<int> nKeepDays = Number(m_strKeepDays, STaskRule::kMaxKeep);
    if (!nEvery || *nEvery < 1 || !nTimes || !nBefore || !nAfter || !nKeepLast || !nKeepDays) {
        return false;
    }
    rule = STaskRule{};
    constexpr STaskRule::ERepeat kRepeats[] = {
        STaskRule::ERepeat::Once,   STaskRule::ERepeat::Daily,    STaskRule::ERepeat::Weekdays,
        STaskRule::ERepeat::Weekly, STaskRule::ERepeat::Weekdays, STaskRule::ERepeat::EveryDays,
    };
    const int nRepeat = m_nRepeat >= 0 && m_nRepeat < 6 ? m_nRepeat : REPEAT_ONCE;
    rule.eRepeat = kRepeats[nRepeat];
    rule.nEveryDays = *nEvery;
    if (nRepeat == REPEAT_WEEKDAYS) {
        rule.nWeekdays = kMondayToFriday;
    } else if (nRepeat == REPEAT_DAYS) {
        for (int n = 0; n < 7; ++n) {
            rule.nWeekdays |= m_days[n] ? DayBit(n) : 0;
        }
    }
    if (rule.Repeats()) {
        rule.nKeepLast = *nKeepLast;
        rule.nKeepDays = *nKeepDays;
        rule.nTimes = *nTimes;
        rule.until = m_nUntil ? CombineDateTime(m_UntilDate, m_UntilDate) : 0;
        if (rule.until != 0) {
            std::tm local{};
            localtime_r(&rule.until, &local);
            local.tm_hour = 23;
            local.tm_min = 59;
            local.tm_sec = 59;
            local.tm_isdst = -1;
            rule.until = std::mktime(&local);  // the whole last day
        }
    }
    rule.nPadBefore = *nBefore;
    rule.nPadAfter = *nAfter;
    rule.bEnabled = m_nEnabled != 0;
    return true;
}

// The template's heights suit the old system font; the label's height is
// the measure of the font in use.
void CNewTaskDlg::LayOut() {
    QWidget* pLabel = GetDlgItem(IDC_BEGIN_LABEL);
    if (!pLabel) {
        return;
    }
    const int nHeight = pLabel->geometry().height();
    const auto setHeight = [this](int nId, int nNewHeight) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            QRect rect = pControl->geometry();
            rect.setHeight(nNewHeight);
            pControl->setGeometry(rect);
        }
    };
    for (int nId : {IDC_BEGIN_DATE, IDC_BEGIN_TIME, IDC_END_DATE, IDC_END_TIME}) {
        setHeight(nId, nHeight + 6);
    }
    for (int nId : {IDC_CHANNEL, IDC_BAND, IDC_FREQUENCY, IDC_MEMO}) {
        setHeight(nId, nHeight + 5);
    }
    const auto placeRightOf = [this](int nId, int nAnchor) {
        QWidget* pControl = GetDlgItem(nId);
        QWidget* pAnchor = GetDlgItem(nAnchor);
        if (pControl && pAnchor) {
            const QRect anchor = pAnchor->geometry();
            pControl->move(anchor.x() + anchor.width() + 2, anchor.y());
        }
    };
    placeRightOf(IDC_FREQUENCY, IDC_BAND);
    placeRightOf(IDC_MEMO, IDC_MEMO_LABEL);
}

void CNewTaskDlg::DoDataExchange(CDataExchange& dx) {
    dx.DateTime(IDC_BEGIN_DATE, m_BeginDate);
    dx.DateTime(IDC_BEGIN_TIME, m_BeginTime);
    dx.DateTime(IDC_END_DATE, m_EndDate);
    dx.DateTime(IDC_END_TIME, m_EndTime);
    dx.Text(IDC_FREQUENCY, m_strFrequency);
    dx.Text(IDC_MEMO, m_strMemo);
    dx.CBIndex(IDC_BAND, m_nBand);
    dx.Check(IDC_MUTE, m_nMute);
    dx.CBIndex(IDC_REPEAT, m_nRepeat);
    dx.Text(IDC_EVERY_DAYS, m_strEveryDays);
    for (int n = 0; n < 7; ++n) {
        dx.Check(IDC_MONDAY + n, m_days[n]);
    }
    dx.Check(IDC_UNTIL, m_nUntil);
    dx.DateTime(IDC_UNTIL_DATE, m_UntilDate);
    dx.Text(IDC_TIMES, m_strTimes);
    dx.Text(IDC_PAD_BEFORE, m_strPadBefore);
    dx.Text(IDC_PAD_AFTER, m_strPadAfter);
    dx.Check(IDC_ENABLED, m_nEnabled);
    dx.Text(IDC_KEEP_LAST, m_strKeepLast);
    dx.Text(IDC_KEEP_DAYS, m_strKeepDays);
}

// After the template's empty item: the AM presets, then the FM ones, each
// with its stored value as item data. The station the tuner is on is picked.
void CNewTaskDlg::FillChannels() {
    auto* pCombo = GetDlgItemAs<QComboBox>(IDC_CHANNEL);
    if (!pCombo) {
        return;
    }
    const CPresetStore presets(m_pCore->Profile());
    const CRadioCore& core = *m_pCore;
    for (int nBand : {BAND_AM, BAND_FM}) {
        for (int i = 0; i < CPresetStore::kSlots; ++i) {
            const CPresetStore::SSlot slot = presets.ReadSlot(nBand, i);
            if (slot.nValue == 0) {
                continue;
            }
            const unsigned f = CPresetStore::Frequency(slot.nValue);
            pCombo->addItem(
                QString::fromStdString(CPresetStore::ChannelText(nBand, f, slot.strTitle)),
                QVariant::fromValue(slot.nValue));
            if (nBand == core.Band() && (f == core.Frequency(CReceiver::BAND_AM) ||
                                         f == core.Frequency(CReceiver::BAND_FM))) {
                pCombo->setCurrentIndex(pCombo->count() - 1);
            }
        }
    }
}

void CNewTaskDlg::OnChannel() {
    UpdateData(true);
    const auto* pCombo = GetDlgItemAs<QComboBox>(IDC_CHANNEL);
    const std::uint32_t nValue = pCombo ? pCombo->currentData().toUInt() : 0;
    m_nBand = CChannelWord(nValue).Band() == CChannelWord::BAND_FM ? BAND_FM : BAND_AM;
    m_strFrequency = CPresetStore::FrequencyNumber(m_nBand, CPresetStore::Frequency(nValue));
    UpdateData(false);
}

std::time_t CNewTaskDlg::NextWholeHour(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    local.tm_min = 0;
    local.tm_sec = 0;
    local.tm_hour += 1;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

std::time_t CNewTaskDlg::CombineDateTime(std::time_t date, std::time_t time) {
    std::tm day{};
    std::tm clock{};
    localtime_r(&date, &day);
    localtime_r(&time, &clock);
    day.tm_hour = clock.tm_hour;
    day.tm_min = clock.tm_min;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    return std::mktime(&day);
}

// The checks and the storing are the remote control's too.
void CNewTaskDlg::OnOK() {
    UpdateData(true);
    CNewTask::SEntry entry;
    entry.begin = CombineDateTime(m_BeginDate, m_BeginTime);
    entry.end = CombineDateTime(m_EndDate, m_EndTime);
    entry.nBand = m_nBand;
    entry.strFrequency = m_strFrequency;
    entry.strMemo = m_strMemo;
    entry.bMute = m_nMute != 0;
    if (!BuildRule(entry.rule)) {
        ShowError(m_pCore->GetText(kBadNumberKey));
        return;
    }
    CNewTask task(m_pCore->TaskSet(), m_bridge, m_pCore->NewTaskContext());
    const CNewTask::EResult eResult =
        m_bReplace ? task.Replace(m_nSourceTask, entry) : task.Add(entry);
    m_nStoredTask = task.StoredTask();
    switch (eResult) {
        case CNewTask::EResult::Refused:
            ShowError(task.ErrorText());
            return;
        case CNewTask::EResult::RowKept:
            m_pCore->Services().messageBoxes.Show(&MessageTarget(), task.ErrorText(),
                                                  CRadioCore::kCaption,
                                                  CMessageBoxes::EIcon::Warning);
            break;
        case CNewTask::EResult::Stored:
            break;
    }
    EndDialog(IDOK);
}

void CNewTaskDlg::ShowError(const std::string& strText) {
    m_pCore->Services().messageBoxes.Show(&MessageTarget(), strText, CRadioCore::kCaption,
                                          CMessageBoxes::EIcon::Error);
}
