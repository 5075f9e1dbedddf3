#include "schedule/windows/NewTaskDlg.h"

#include <QComboBox>
#include <QDateTimeEdit>

#include "core/RadioCore.h"
#include "platform/clock/Clock.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/names/KestrelNames.h"
#include "presets/PresetStore.h"
#include "schedule/NewTask.h"
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

    // A begin of now could never be accepted: the next whole hour, for an hour.
    const std::time_t begin = NextWholeHour(m_pCore->Services().clock.Now());
    m_BeginDate = m_BeginTime = begin;
    m_EndDate = m_EndTime = begin + kDefaultLength;
    m_nBand = m_pCore->Band() == CReceiver::BAND_FM ? BAND_FM : BAND_AM;
    m_strFrequency = m_nBand == BAND_FM ? CPresetStore::FrequencyNumber(
                                              BAND_FM, m_pCore->Frequency(CReceiver::BAND_FM))
                                        : std::to_string(m_pCore->Frequency(CReceiver::BAND_AM));
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
    CNewTask task(m_pCore->TaskSet(), m_bridge, m_pCore->NewTaskContext());
    const CNewTask::EResult eResult = task.Add(entry);
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
