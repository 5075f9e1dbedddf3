#include "schedule/NewTaskDlg.h"

#include <QComboBox>
#include <QDateTimeEdit>

#include <cstdio>

#include "app/RadioCore.h"
#include "platform/clock/Clock.h"
#include "platform/db/DBException.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "platform/scheduler/ExecutablePath.h"
#include "presets/PresetStore.h"
#include "schedule/DataSourceId.h"
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
    {CDialog::IDOK, "ALL_OK"},
    {CDialog::IDCANCEL, "ALL_CANCLE"},
};
constexpr const char* kTaskKeptKey = "MESSAGE_27";

}  // namespace

CNewTaskDlg::CNewTaskDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent), m_bridge(pCore->Services().scheduler), m_pCore(pCore) {
    Commands().On(IDC_CHANNEL, CCommandMap::SelChange, [this] { OnChannel(); });
}

bool CNewTaskDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "NewTaskWin");
    }
    SetTexts();
    LayOut();

    const std::time_t now = m_pCore->Services().clock.Now();
    m_BeginDate = m_BeginTime = m_EndDate = m_EndTime = now;
    const CTuner& tuner = m_pCore->Tuner();
    m_nBand = tuner.Band() == CTuner::BAND_FM ? BAND_FM : BAND_AM;
    m_strFrequency = m_nBand == BAND_FM
                         ? CPresetStore::FrequencyNumber(BAND_FM, tuner.Frequency(CTuner::BAND_FM))
                         : std::to_string(tuner.Frequency(CTuner::BAND_AM));
    UpdateData(false);

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
    setWindowTitle(QString::fromStdString(m_pCore->GetText("NA_WINTITLE")));
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
}

// After the template's empty item: the AM presets, then the FM ones, each
// with its stored value as item data. The station the tuner is on is picked.
void CNewTaskDlg::FillChannels() {
    auto* pCombo = GetDlgItemAs<QComboBox>(IDC_CHANNEL);
    if (!pCombo) {
        return;
    }
    const CPresetStore presets(m_pCore->Profile());
    const CTuner& tuner = m_pCore->Tuner();
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
            if (nBand == tuner.Band() &&
                (f == tuner.Frequency(CTuner::BAND_AM) || f == tuner.Frequency(CTuner::BAND_FM))) {
                pCombo->setCurrentIndex(pCombo->count() - 1);
            }
        }
    }
}

void CNewTaskDlg::OnChannel() {
    UpdateData(true);
    const auto* pCombo = GetDlgItemAs<QComboBox>(IDC_CHANNEL);
    const std::uint32_t nValue = pCombo ? pCombo->currentData().toUInt() : 0;
    m_nBand = (nValue & kFmBit) ? BAND_FM : BAND_AM;
    m_strFrequency = CPresetStore::FrequencyNumber(m_nBand, CPresetStore::Frequency(nValue));
    UpdateData(false);
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

bool CNewTaskDlg::BuildChannelWord(std::uint32_t& nWord) const {
    if (m_nBand != BAND_AM && m_nBand != BAND_FM) {
        return false;
    }
    const CTuner& tuner = m_pCore->Tuner();
    const bool bFm = m_nBand == BAND_FM;
    const std::optional<std::uint32_t> value = CPresetStore::BuildValue(
        m_nBand, m_strFrequency,
        bFm ? tuner.LowerLimit(CTuner::BAND_FM) : tuner.LowerLimit(CTuner::BAND_AM),
        bFm ? tuner.UpperLimit(CTuner::BAND_FM) : tuner.UpperLimit(CTuner::BAND_AM));
    if (!value) {
        return false;
    }
    nWord = *value | (m_nMute ? kMuteBit : 0);
    return true;
}

void CNewTaskDlg::OnOK() {
    UpdateData(true);
    const std::time_t now = m_pCore->Services().clock.Now();
    const std::time_t begin = CombineDateTime(m_BeginDate, m_BeginTime);
    const std::time_t end = CombineDateTime(m_EndDate, m_EndTime);
    if (end < now || begin <= now) {
        Refuse("MESSAGE_8");
        return;
    }
    if (begin >= end) {
        Refuse("MESSAGE_9");
        return;
    }
    CTaskSet& tasks = m_pCore->TaskSet();
    if (!tasks.IsTimeFree(begin, end)) {
        Refuse("MESSAGE_10");
        return;
    }
    if (!tasks.CanAppend()) {
        Refuse("MESSAGE_11");
        return;
    }
    std::uint32_t nWord = 0;
    if (!BuildChannelWord(nWord)) {
        Refuse("MESSAGE_12");
        return;
    }
    if (!PrepareRegistration() || !StoreTask(begin, end, nWord) || !RegisterWorkItem(begin)) {
        return;
    }
    EndDialog(IDOK);
}

// Before anything is stored: a task whose work item cannot be made would
// never record.
bool CNewTaskDlg::PrepareRegistration() {
    try {
        m_bridge.m_strOwner = CDataSourceId::Obtain(m_pCore->Services().database);
    } catch (const CDBException& error) {
        ShowError(error.ErrorText());
        return false;
    }
    if (const CStatus status = m_bridge.PrepareScheduler(); !status) {
        Refuse(status.Message());
        return false;
    }
    return true;
}

// The new row's identifier is the one the insert gave it: the last row of a
// re-query sorted by begin is another task whenever this one is not the
// latest.
bool CNewTaskDlg::StoreTask(std::time_t begin, std::time_t end, std::uint32_t nWord) {
    CTaskSet& tasks = m_pCore->TaskSet();
    try {
        tasks.AddNew();
        tasks.m_BeginTime = begin;
        tasks.m_EndTime = end;
        tasks.m_Channel = CTaskSet::ChannelText(nWord);
        tasks.m_Memo = m_strMemo;
        tasks.Update();
    } catch (const CDBException& error) {
        ShowError(error.ErrorText());
        return false;
    }
    m_nStoredTask = tasks.m_ID;
    tasks.Requery();
    return true;
}

// The application is this program's own file: the folder it was started in
// need not be where it lives. A task without its work item would never record, so a
// failed registration takes the row away again and leaves the dialog open;
// only a row that cannot be deleted is kept, for the task list to show.
bool CNewTaskDlg::RegisterWorkItem(std::time_t begin) {
    m_bridge.m_strApplication = OwnExecutablePath();
    m_bridge.m_strParameters = std::to_string(m_nStoredTask);
    m_bridge.m_strWorkingDirectory = m_pCore->StartFolder();
    m_bridge.m_strComment = KestrelNames::kWorkItemComment;
    m_bridge.CreateWorkItem(begin, KestrelNames::WorkItemName(m_nStoredTask));
    if (m_bridge.LastRegistration()) {
        return true;
    }
    if (ForgetStoredTask()) {
        Refuse(m_bridge.FailureKey());
        return false;
    }
    m_pCore->Services().messageBoxes.Show(&MessageTarget(), m_pCore->Message(kTaskKeptKey),
                                          CRadioCore::kCaption, CMessageBoxes::EIcon::Warning);
    return true;
}

// DeleteById leaves the filter on the task: a re-query that succeeds and
// finds nothing shows it gone.
bool CNewTaskDlg::ForgetStoredTask() {
    CTaskSet& tasks = m_pCore->TaskSet();
    try {
        tasks.DeleteById(m_nStoredTask);
    } catch (const CDBException& error) {
        std::fprintf(stderr, "Kestrel: task %d cannot be deleted: %s\n", m_nStoredTask,
                     error.what());
        return false;
    }
    if (!tasks.Requery() || !tasks.IsEOF()) {
        return false;
    }
    m_nStoredTask = 0;
    return true;
}

void CNewTaskDlg::Refuse(const std::string& strMessageKey) {
    ShowError(m_pCore->Message(strMessageKey));
}

void CNewTaskDlg::ShowError(const std::string& strText) {
    m_pCore->Services().messageBoxes.Show(&MessageTarget(), strText, CRadioCore::kCaption,
                                          CMessageBoxes::EIcon::Error);
}
