#include "presets/windows/ScanDlg.h"

#include <QAbstractButton>
#include <QPointer>
#include <QProgressBar>
#include <QTreeWidget>

#include <utility>

#include "core/RadioCore.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetChange.h"
#include "presets/PresetStore.h"
#include "skin/CommandMap.h"
#include "skin/SkinEngine.h"

namespace {

constexpr int kColumnWidths[CScanDlg::COLUMNS] = {90, 50, 50, 160};
constexpr std::pair<const char*, const char*> kColumnTexts[CScanDlg::COLUMNS] = {
    {"SC_FREQUENCY", "Frequency"},
    {"SC_SIGNAL", "Signal"},
    {"SC_STEREO", "Stereo"},
    {"SC_NAME", "Title"}};
constexpr const char* kSaveFailedKey = "MESSAGE_17";

QString FromUtf8(const std::string& strText) {
    return QString::fromUtf8(strText.data(), static_cast<qsizetype>(strText.size()));
}

}  // namespace

CScanDlg::CScanDlg(CRadioCore* pCore, CSkinEngine* pSkin, int nPage, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent), m_pCore(pCore), m_nPage(nPage) {
    SetEnterIsOk(false);  // Enter scans (the default button), it never closes
    MapCommands();
}

CScanDlg::~CScanDlg() {
    StopScan();
}

void CScanDlg::MapCommands() {
    CCommandMap& commands = Commands();
    commands.On(IDC_SCAN, CCommandMap::Clicked, [this] { OnScan(); });
    commands.On(IDC_STORE, CCommandMap::Clicked, [this] { OnStore(); });
}

std::string CScanDlg::Text(const char* pKey, const char* pDefault) const {
    const std::string strText = m_pCore->GetText(pKey);
    return strText.empty() ? pDefault : strText;
}

bool CScanDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, kSkinName);
    }
    m_pProgress = GetDlgItemAs<QProgressBar>(IDC_PROGRESS);
    m_pResults = GetDlgItemAs<QTreeWidget>(IDC_RESULTS);
    if (!m_pProgress || !m_pResults) {
        return false;
    }
    LoadTexts();
    if (auto* pFree = GetDlgItemAs<QAbstractButton>(IDC_STORE_FREE)) {
        pFree->setChecked(true);
    }
    m_pResults->setFocus();
    return true;
}

void CScanDlg::LoadTexts() {
    setWindowTitle(FromUtf8(Text("SC_WINTITLE", "Band Scan")));
    SetDlgItemText(IDC_STATUS, Text("SC_READY", "Scan the band for stations"));
    SetDlgItemText(IDC_STORE_FREE, Text("SC_STORE_FREE", "Fill the free presets"));
    SetDlgItemText(IDC_STORE_PAGE, Text("SC_STORE_PAGE", "Replace this page"));
    SetDlgItemText(IDC_STORE_BAND, Text("SC_STORE_BAND", "Replace the band"));
    SetDlgItemText(IDC_SCAN, Text("SC_SCAN", "Scan"));
    SetDlgItemText(IDC_STORE, Text("SC_STORE", "Store"));
    SetDlgItemText(IDCANCEL, Text("SC_CLOSE", "Close"));
    QStringList headers;
    for (const auto& [pKey, pDefault] : kColumnTexts) {
        headers << FromUtf8(Text(pKey, pDefault));
    }
    m_pResults->setColumnCount(COLUMNS);
    m_pResults->setHeaderLabels(headers);
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        m_pResults->setColumnWidth(nColumn, kColumnWidths[nColumn]);
    }
    m_pResults->setAccessibleName(FromUtf8(Text("SC_RESULTS", "Stations found")));
    m_pProgress->setAccessibleName(FromUtf8(Text("SC_PROGRESS", "Scan progress")));
}

void CScanDlg::OnScan() {
    if (m_nScan != 0) {
        m_pCore->CancelScan(m_nScan);
        return;
    }
    m_found.clear();
    m_bCancelled = false;
    m_pResults->clear();
    EnableDlgItem(IDC_STORE, false);
    SetDlgItemText(IDC_STORED, {});
    QPointer<CScanDlg> pWindow(this);
    const auto onProgress = [pWindow](const SScanProgress& progress) {
        QMetaObject::invokeMethod(
            pWindow, [pWindow, progress] { pWindow->ShowProgress(progress); },
            Qt::QueuedConnection);
    };
    const auto onEnd = [pWindow](bool bCancelled) {
        QMetaObject::invokeMethod(
            pWindow, [pWindow, bCancelled] { pWindow->ScanEnded(bCancelled); },
            Qt::QueuedConnection);
    };
    m_nBand = m_pCore->Band();
    m_nScan = m_pCore->StartScan(m_nBand, onProgress, onEnd);
    if (m_nScan == 0) {
        SetDlgItemText(IDC_STATUS,
                       m_pCore->Recording() != 0
                           ? Text("SC_RECORDING", "A recording is running: a scan would retune it")
                           : Text("SC_CANNOT", "The receiver cannot scan now"));
        return;
    }
    m_pProgress->setValue(0);
    SetDlgItemText(IDC_SCAN, Text("SC_STOP", "Stop"));
}

void CScanDlg::ShowProgress(const SScanProgress& progress) {
    if (m_nScan == 0 || progress.nChannels <= 0) {
        return;
    }
    m_pProgress->setRange(0, progress.nChannels);
    m_pProgress->setValue(progress.nChannel);
    const std::string strFrequency = m_pCore->Steps(m_nBand).DisplayText(progress.nFrequency);
    SetDlgItemText(IDC_STATUS, strFrequency + "  " + std::to_string(progress.nFound) + " " +
                                   Text("SC_FOUND", "found"));
}

// The worker has ended (or is about to): its stations, the listener's station back.
void CScanDlg::ScanEnded(bool bCancelled) {
    if (m_nScan == 0) {
        return;
    }
    m_bCancelled = bCancelled;
    const uint64_t nScan = std::exchange(m_nScan, 0);
    m_found = m_pCore->FinishScan(nScan);
    SetDlgItemText(IDC_SCAN, Text("SC_SCAN", "Scan"));
    FillResults(m_found);
    if (m_bCancelled) {
        SetDlgItemText(IDC_STATUS, Text("SC_STOPPED", "Scan stopped: nothing is stored"));
        return;
    }
    m_pProgress->setValue(m_pProgress->maximum());
    SetDlgItemText(IDC_STATUS,
                   std::to_string(m_found.size()) + " " + Text("SC_STATIONS", "stations found"));
    EnableDlgItem(IDC_STORE, !m_found.empty());
}

void CScanDlg::FillResults(const std::vector<SScanStation>& stations) {
    m_pResults->clear();
    for (const SScanStation& station : stations) {
        auto* pItem = new QTreeWidgetItem(m_pResults);
        pItem->setText(COLUMN_FREQUENCY,
                       FromUtf8(CPresetStore::ListText(station.nBand, station.nFrequency)));
        pItem->setText(COLUMN_SIGNAL, QString::number(station.nSignal));
        pItem->setText(COLUMN_STEREO,
                       FromUtf8(station.bStereo ? Text("SC_YES", "yes") : Text("SC_NO", "no")));
        pItem->setText(COLUMN_NAME, FromUtf8(station.strName));
        pItem->setFlags(pItem->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        pItem->setCheckState(COLUMN_FREQUENCY, m_bCancelled ? Qt::Unchecked : Qt::Checked);
    }
    if (m_pResults->topLevelItemCount() > 0) {
        m_pResults->setCurrentItem(m_pResults->topLevelItem(0));
    }
}

std::vector<SScanStation> CScanDlg::Chosen() const {
    std::vector<SScanStation> chosen;
    for (int n = 0; n < m_pResults->topLevelItemCount() && n < static_cast<int>(m_found.size());
         ++n) {
        const QTreeWidgetItem* pItem = m_pResults->topLevelItem(n);
        if (pItem->checkState(COLUMN_FREQUENCY) != Qt::Checked) {
            continue;
        }
        SScanStation station = m_found[static_cast<size_t>(n)];
        station.strName = pItem->text(COLUMN_NAME).trimmed().toStdString();
        chosen.push_back(std::move(station));
    }
    return chosen;
}

CScanPlacement::EMode CScanDlg::StoreMode() const {
    const auto checked = [this](int nId) {
        const auto* pButton = GetDlgItemAs<QAbstractButton>(nId);
        return pButton && pButton->isChecked();
    };
    if (checked(IDC_STORE_PAGE)) {
        return CScanPlacement::EMode::Page;
    }
    return checked(IDC_STORE_BAND) ? CScanPlacement::EMode::Band : CScanPlacement::EMode::FreeSlots;
}

void CScanDlg::OnStore() {
    if (m_nScan != 0 || m_bCancelled || m_found.empty()) {
        return;
    }
    CPresetStore store(m_pCore->Profile());
    const CScanPlacement::EMode eMode = StoreMode();
    const std::vector<SPresetChange> changes =
        CScanPlacement::Plan(store, m_nBand, Chosen(), eMode, m_nPage);
    int nReplaced = 0;
    for (const SPresetChange& change : changes) {
        nReplaced += change.before.nValue != 0 ? 1 : 0;
    }
    // Filling free slots loses nothing; replacing does, and is asked first.
    if (nReplaced > 0 &&
        !m_pCore->Services().messageBoxes.Confirm(
            &MessageTarget(),
            std::to_string(nReplaced) + " " + Text("SC_CONFIRM", "presets will be replaced."),
            CRadioCore::kCaption, Text("SC_REPLACE", "Replace"), Text("SC_CANCEL", "Cancel"))) {
        return;
    }
    if (!ApplyPresetChanges(store, changes)) {
        m_pCore->Services().messageBoxes.Show(&MessageTarget(), m_pCore->Message(kSaveFailedKey),
                                              CRadioCore::kCaption, CMessageBoxes::EIcon::Error);
        return;
    }
    SetDlgItemText(IDC_STORED,
                   std::to_string(changes.size()) + " " + Text("SC_STORED", "presets stored"));
    EnableDlgItem(IDC_STORE, false);
    if (CMessageTarget* pMain = m_pCore->MainWindow()) {
        pMain->Post(WM_PRESETS_CHANGED, 0, 0);
    }
    Q_EMIT PresetsStored();
}

void CScanDlg::StopScan() {
    if (m_nScan == 0) {
        return;
    }
    const uint64_t nScan = std::exchange(m_nScan, 0);
    m_pCore->CancelScan(nScan);
    m_pCore->FinishScan(nScan);
}

void CScanDlg::DestroyWindow() {
    StopScan();
    CDialog::DestroyWindow();
}
