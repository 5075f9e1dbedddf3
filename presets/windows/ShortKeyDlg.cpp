#include "presets/windows/ShortKeyDlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QMoveEvent>
#include <QTreeWidget>

#include <cstdlib>
#include <optional>
#include <utility>

#include "core/RadioCore.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "presets/PresetChange.h"
#include "presets/PresetSets.h"
#include "presets/PresetStore.h"
#include "presets/exchange/PresetFile.h"
#include "presets/exchange/PresetImport.h"
#include "presets/windows/ScanDlg.h"
#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/SkinEngine.h"

namespace {

constexpr int kColumnWidths[CShortKeyDlg::COLUMNS] = {50, 60, 90, 150};
constexpr const char* kColumnKeys[CShortKeyDlg::COLUMNS] = {"BI_KEY", "BI_MODEL", "BI_FREQUENCY",
                                                            "BI_TITLE"};
constexpr std::pair<int, const char*> kTexts[] = {
    {CShortKeyDlg::IDC_WINDOW_TITLE, "BI_WINTITLE"},
    {CShortKeyDlg::IDC_MODEL_LABEL, "BI_MODEL"},
    {CShortKeyDlg::IDC_KEY_LABEL, "BI_KEY"},
    {CShortKeyDlg::IDC_FREQUENCY_LABEL, "BI_FREQUENCY"},
    {CShortKeyDlg::IDC_TITLE_LABEL, "BI_TITLE"},
    {CShortKeyDlg::IDC_APPLY, "BI_APPLY"},
    {CShortKeyDlg::IDC_DELETE, "BI_DELETE"},
    {CDialog::IDCANCEL, "BI_QUIT"},
    {CShortKeyDlg::IDC_SCAN, "BI_SCAN"},
    {CShortKeyDlg::IDC_IMPORT, "BI_IMPORT"},
    {CShortKeyDlg::IDC_EXPORT, "BI_EXPORT"},
};
// How many of an import's changes its question lists.
constexpr size_t kShownChanges = 12;
constexpr const char* kSaveFailedKey = "MESSAGE_17";

// What a typed frequency looks like at the start of its list cell: FM
// "98.1" is "98.10", "98" is "98.00"; AM "1008" is "1008KHz".
std::string FrequencyKey(int nBand, std::string strText) {
    if (nBand != CPresetStore::BAND_FM) {
        return strText + "KHz";
    }
    const size_t p = strText.find('.');
    if (p == std::string::npos) {
        return strText + ".00";
    }
    const auto nZeros = static_cast<long>(p) - static_cast<long>(strText.size()) + 3;
    if (p > 0 && nZeros > 0) {
        strText.append(static_cast<size_t>(nZeros), '0');
    }
    return strText;
}

std::string Cell(const QTreeWidgetItem* pItem, int nColumn) {
    return pItem->text(nColumn).toStdString();
}

// Windows rectangles: right and bottom lie just outside.
int Right(const QRect& rect) {
    return rect.x() + rect.width();
}
int Bottom(const QRect& rect) {
    return rect.y() + rect.height();
}

std::string DefaultFileDialog(QWidget* pOwner, bool bSave) {
    const QString strFilter = QStringLiteral(
        "Kestrel presets (*.json);;CSV (*.csv);;gqrx bookmarks (bookmarks.csv);;All files (*)");
    return (bSave ? QFileDialog::getSaveFileName(pOwner, QString(), QString(), strFilter)
                  : QFileDialog::getOpenFileName(pOwner, QString(), QString(), strFilter))
        .toStdString();
}

std::optional<std::string> DefaultNameDialog(QWidget* pOwner) {
    bool bOk = false;
    const QString strName = QInputDialog::getText(pOwner, QString(), QStringLiteral("Name"),
                                                  QLineEdit::Normal, QString(), &bOk);
    return bOk ? std::optional(strName.toStdString()) : std::nullopt;
}

}  // namespace

CShortKeyDlg::CShortKeyDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent),
      m_pCore(pCore),
      m_fileDialog(DefaultFileDialog),
      m_nameDialog(DefaultNameDialog),
      m_page([] { return 0; }) {
    SetEnterIsOk(false);  // Enter would close it on a typed, unapplied frequency
    MapCommands();
}

// The scan window goes first: it tells this one when it stores.
CShortKeyDlg::~CShortKeyDlg() {
    delete m_pScan.data();
}

void CShortKeyDlg::MapCommands() {
    CCommandMap& commands = Commands();
    commands.On(IDC_APPLY, CCommandMap::Clicked, [this] { OnApply(); });
    commands.On(IDC_DELETE, CCommandMap::Clicked, [this] { OnDelete(); });
    commands.On(IDC_LIST, CCommandMap::DblClk, [this] { OnListDblClk(); });
    commands.On(IDC_MODEL, CCommandMap::SelChange, [this] { OnModelChange(); });
    commands.On(IDC_FREQUENCY, CCommandMap::KillFocus, [this] { OnFrequencyKillFocus(); });
    commands.On(IDC_SET, CCommandMap::SelChange, [this] { OnSetChange(); });
    commands.On(IDC_SCAN, CCommandMap::Clicked, [this] { OnScan(); });
    commands.On(IDC_IMPORT, CCommandMap::Clicked, [this] { OnImport(); });
    commands.On(IDC_EXPORT, CCommandMap::Clicked, [this] { OnExport(); });
    // Quit (IDCANCEL) and the close box take the default: the window is
    // destroyed and, with WA_DeleteOnClose, frees itself.
}

void CShortKeyDlg::DoDataExchange(CDataExchange& dx) {
    dx.Text(IDC_FREQUENCY, m_strFrequency);
    dx.Text(IDC_TITLE, m_strTitle);
    dx.CBIndex(IDC_KEY, m_nKeyIndex);
    dx.CBIndex(IDC_MODEL, m_nModelIndex);
}

bool CShortKeyDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, kSkinName);
    }
    m_pModelBox = GetDlgItemAs<QComboBox>(IDC_MODEL);
    m_pKeyBox = GetDlgItemAs<QComboBox>(IDC_KEY);
    m_pList = GetDlgItemAs<QTreeWidget>(IDC_LIST);
    m_pSetBox = GetDlgItemAs<QComboBox>(IDC_SET);
    if (!m_pModelBox || !m_pKeyBox || !m_pList) {
        KestrelTrace("shortkey", "template %d lacks the model box, key box or list", kTemplateId);
        return false;
    }
    LoadTexts();
    DockToOwner();
    LayOutControls();
    FillSets();

    const int nBand = m_pCore->Band();
    m_nKeyIndex = FillList(nBand);
    m_nModelIndex = nBand;
    m_strFrequency = CPresetStore::FrequencyNumber(nBand, m_pCore->CurrentFrequency());
    UpdateData(false);
    std::string strTitle;
    if (FollowFrequency(&strTitle) >= 0) {
        m_pList->setFocus();
    }
    // A preset saved without a title of its own takes the station's name.
    m_strTitle = strTitle.empty() ? m_pCore->StationName() : strTitle;
    UpdateData(false);
    return true;
}

void CShortKeyDlg::LoadTexts() {
    for (const auto& [nId, pKey] : kTexts) {
        SetDlgItemText(nId, m_pCore->GetText(pKey));
    }
    // The desktop's title bar shows what the skin draws in static 1059.
    setWindowTitle(QString::fromStdString(m_pCore->GetText("BI_WINTITLE")));

    QStringList headers;
    for (const char* pKey : kColumnKeys) {
        headers << QString::fromStdString(m_pCore->GetText(pKey));
    }
    m_pList->setColumnCount(COLUMNS);
    m_pList->setHeaderLabels(headers);
    for (int nColumn = 0; nColumn < COLUMNS; ++nColumn) {
        m_pList->setColumnWidth(nColumn, kColumnWidths[nColumn]);
    }
    m_pList->header()->setSectionsMovable(true);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);

    // The key box lists the slot numbers once, however often the list is refilled.
    if (m_pKeyBox->count() != CPresetStore::kSlots) {
        m_pKeyBox->clear();
        for (int n = 0; n < CPresetStore::kSlots; ++n) {
            m_pKeyBox->addItem(QString::number(n));
        }
        m_pKeyBox->setCurrentIndex(-1);
    }
}

// The combo boxes are as high as the labels over the edit boxes, and the edit
// boxes sit just below their labels.
void CShortKeyDlg::LayOutControls() {
    const auto rect = [this](int nId) {
        QWidget* pControl = GetDlgItem(nId);
        return pControl ? pControl->geometry() : QRect();
    };
    const auto setHeight = [this](int nId, int nHeight) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->resize(pControl->width(), nHeight);
        }
    };
    const auto place = [this](int nId, int x, int y) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->move(x, y);
        }
    };
    const QRect model = rect(IDC_MODEL_LABEL);
    const QRect key = rect(IDC_KEY_LABEL);
    const QRect frequency = rect(IDC_FREQUENCY_LABEL);
    const QRect title = rect(IDC_TITLE_LABEL);
    setHeight(IDC_MODEL, model.height());
    place(IDC_MODEL, Right(model) + 2, model.y());
    setHeight(IDC_KEY, key.height());
    setHeight(IDC_FREQUENCY, key.height() + 6);
    place(IDC_FREQUENCY, frequency.x(), Bottom(frequency) + 2);
    setHeight(IDC_TITLE, key.height() + 6);
    place(IDC_TITLE, title.x(), Bottom(title) + 2);
}

int CShortKeyDlg::FillList(int nBand) {
    if (!m_pList) {
        return -1;
    }
    m_pList->clear();
    const CPresetStore presets(m_pCore->Profile());
    int nFirstEmpty = -1;
    for (int n = 0; n < CPresetStore::kSlots; ++n) {
        auto* pItem = new QTreeWidgetItem(m_pList);  // owned by the list
        pItem->setText(COLUMN_KEY, QString::number(n));
        const CPresetStore::SSlot slot = presets.ReadSlot(nBand, n);
        if (slot.nValue != 0) {
            SetRow(pItem, nBand,
                   CPresetStore::FrequencyNumber(nBand, CPresetStore::Frequency(slot.nValue)),
                   slot.strTitle);
        } else if (nFirstEmpty < 0) {
            nFirstEmpty = n;
            m_pList->setCurrentItem(pItem);
        }
    }
    return nFirstEmpty;
}

void CShortKeyDlg::SetRow(QTreeWidgetItem* pItem, int nBand, const std::string& strFrequency,
                          const std::string& strTitle) {
    const bool bFm = nBand == CPresetStore::BAND_FM;
    pItem->setText(COLUMN_MODEL, QString::fromStdString(CPresetStore::ModelText(nBand)));
    pItem->setText(COLUMN_FREQUENCY, QString::fromStdString(strFrequency + (bFm ? "MHz" : "KHz")));
    pItem->setText(COLUMN_TITLE, QString::fromStdString(strTitle));
}

int CShortKeyDlg::FollowFrequency(std::string* pTitle) {
    if (!m_pList) {
        return -1;
    }
    UpdateData(true);
    // By the band the list shows, so that a frequency typed into the other
    // band's list is found there.
    const std::string strKey = FrequencyKey(m_nModelIndex, m_strFrequency);
    for (int n = 0; n < m_pList->topLevelItemCount(); ++n) {
        QTreeWidgetItem* pItem = m_pList->topLevelItem(n);
        if (Cell(pItem, COLUMN_FREQUENCY).compare(0, strKey.size(), strKey) != 0) {
            continue;
        }
        m_nKeyIndex = n;
        m_pKeyBox->setCurrentIndex(n);
        m_pList->scrollToItem(pItem);
        m_pList->setCurrentItem(pItem);
        if (pTitle) {
            *pTitle = Cell(pItem, COLUMN_TITLE);
        }
        return n;
    }
    return -1;
}

void CShortKeyDlg::OnApply() {
    if (!m_pList) {
        return;  // the window was not built
    }
    UpdateData(true);
    const int n = m_nKeyIndex;
    const int nBand = m_nModelIndex;
    if (n < 0 || n >= CPresetStore::kSlots || nBand < 0) {
        return;
    }
    const CTuningSteps steps = m_pCore->Steps(nBand);
    const std::optional<uint32_t> nValue =
        CPresetStore::BuildValue(nBand, m_strFrequency, steps.Lower(), steps.Upper());
    if (!nValue) {
        return;  // outside the band: refused without a word
    }
    // Stored before it is shown, so the list never shows what the profile lacks.
    if (!CPresetStore(m_pCore->Profile()).WriteSlot(nBand, n, *nValue, m_strTitle)) {
        ShowSaveFailure();
        return;
    }
    if (QTreeWidgetItem* pItem = m_pList->topLevelItem(n)) {
        SetRow(pItem, nBand, m_strFrequency, m_strTitle);
    }
    NotifyMainWindow(static_cast<uintptr_t>(nBand), n);
    FollowFrequency();
}

void CShortKeyDlg::OnDelete() {
    if (!m_pList) {
        return;  // the window was not built
    }
    UpdateData(true);
    QTreeWidgetItem* pItem = SelectedRow();
    if (!pItem || m_nModelIndex < 0) {
        return;
    }
    const int n = m_pList->indexOfTopLevelItem(pItem);
    if (!CPresetStore(m_pCore->Profile()).ClearSlot(m_nModelIndex, n)) {
        ShowSaveFailure();
        return;
    }
    for (int nColumn : {COLUMN_MODEL, COLUMN_FREQUENCY, COLUMN_TITLE}) {
        pItem->setText(nColumn, QString());
    }
    NotifyMainWindow(0, 0);
}

void CShortKeyDlg::OnListDblClk() {
    if (!m_pList) {
        return;  // the window was not built
    }
    const QTreeWidgetItem* pItem = SelectedRow();
    if (!pItem) {
        return;
    }
    m_nKeyIndex = std::atoi(Cell(pItem, COLUMN_KEY).c_str());
    // Only "AM" reads as AM: an empty row sets FM.
    m_nModelIndex =
        Cell(pItem, COLUMN_MODEL) == "AM" ? CPresetStore::BAND_AM : CPresetStore::BAND_FM;
    const std::string strFrequency = Cell(pItem, COLUMN_FREQUENCY);
    m_strFrequency = strFrequency.size() > 3 ? strFrequency.substr(0, strFrequency.size() - 3) : "";
    m_strTitle = Cell(pItem, COLUMN_TITLE);
    UpdateData(false);
}

// The key box and the key index keep their values: only the list changes.
void CShortKeyDlg::OnModelChange() {
    if (!m_pList) {
        return;  // the window was not built
    }
    UpdateData(true);
    if (m_nModelIndex >= 0) {
        FillList(m_nModelIndex);
    }
}

void CShortKeyDlg::OnFrequencyKillFocus() {
    // Focus also leaves the box while the window goes away.
    if (!IsWindow()) {
        return;
    }
    const std::string strText = GetDlgItemText(IDC_FREQUENCY);
    if (strText == m_strLastFrequency) {
        return;
    }
    m_strLastFrequency = strText;
    FollowFrequency();
}

QTreeWidgetItem* CShortKeyDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_pList->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void CShortKeyDlg::moveEvent(QMoveEvent* pEvent) {
    CDialog::moveEvent(pEvent);
    SnapToOwner();
}

void CShortKeyDlg::NotifyMainWindow(uintptr_t wParam, intptr_t lParam) {
    if (CMessageTarget* pMain = m_pCore->MainWindow()) {
        pMain->Post(WM_PRESETS_CHANGED, wParam, lParam);
    }
}

void CShortKeyDlg::ShowSaveFailure() {
    KestrelTrace("shortkey", "the profile %s could not be written",
                 m_pCore->Profile().Path().c_str());
    m_pCore->Services().messageBoxes.Show(&MessageTarget(), m_pCore->Message(kSaveFailedKey),
                                          CRadioCore::kCaption, CMessageBoxes::EIcon::Error);
}

// Sets ------------------------------------------------------------------------

void CShortKeyDlg::FillSets() {
    if (!m_pSetBox) {
        return;
    }
    const QSignalBlocker quiet(m_pSetBox);
    const CPresetSets sets(m_pCore->Profile());
    m_pSetBox->clear();
    for (const std::string& strName : sets.Names()) {
        m_pSetBox->addItem(QString::fromStdString(strName));
    }
    const std::string strNew = m_pCore->GetText("BI_NEW_SET");
    m_pSetBox->addItem(QString::fromStdString(strNew.empty() ? "New set..." : strNew));
    m_pSetBox->setCurrentIndex(sets.IndexOf(sets.Current()));
    const std::string strName = m_pCore->GetText("BI_SET");
    m_pSetBox->setAccessibleName(QString::fromStdString(strName.empty() ? "Preset set" : strName));
}

void CShortKeyDlg::OnSetChange() {
    if (!m_pSetBox) {
        return;
    }
    CPresetSets sets(m_pCore->Profile());
    std::string strName = m_pSetBox->currentText().toStdString();
    std::string strWhy;
    if (m_pSetBox->currentIndex() == m_pSetBox->count() - 1) {
        const std::optional<std::string> name = m_nameDialog(this);
        if (!name || !sets.Add(*name, strWhy)) {
            FillSets();
            if (!strWhy.empty()) {
                m_pCore->Services().messageBoxes.Show(
                    &MessageTarget(), strWhy, CRadioCore::kCaption, CMessageBoxes::EIcon::Warning);
            }
            return;
        }
        strName = CPresetSets::CleanName(*name, strWhy);
    }
    if (!sets.Switch(strName, strWhy)) {
        ShowSaveFailure();
    }
    FillSets();
    PresetsReplaced();
}

void CShortKeyDlg::PresetsReplaced() {
    UpdateData(true);
    m_nKeyIndex = FillList(m_nModelIndex);
    UpdateData(false);
    NotifyMainWindow(0, 0);
}

// Scan, import, export -----------------------------------------------------------

void CShortKeyDlg::OnScan() {
    if (m_pScan) {
        m_pScan->raise();
        m_pScan->activateWindow();
        return;
    }
    auto* pScan = new CScanDlg(m_pCore, SkinEngine(), m_page(), this);
    pScan->setWindowFlag(Qt::Tool);
    pScan->setAttribute(Qt::WA_DeleteOnClose);
    if (!pScan->Create()) {
        pScan->deleteLater();
        return;
    }
    connect(pScan, &CScanDlg::PresetsStored, this, [this] { PresetsReplaced(); });
    m_pScan = pScan;
    pScan->show();
}

void CShortKeyDlg::OnExport() {
    const std::string strPath = m_fileDialog(this, true);
    if (strPath.empty()) {
        return;
    }
    const CPresetStore store(m_pCore->Profile());
    const SPresetDocument document =
        CPresetFile::FromStore(store, CPresetSets(m_pCore->Profile()).Current());
    std::string strWhy;
    if (!CPresetFile::Save(strPath, CPresetFile::Write(CPresetFile::FormatOf(strPath), document),
                           strWhy)) {
        m_pCore->Services().messageBoxes.Show(&MessageTarget(), strWhy, CRadioCore::kCaption,
                                              CMessageBoxes::EIcon::Error);
    }
}

void CShortKeyDlg::OnImport() {
    const std::string strPath = m_fileDialog(this, false);
    if (strPath.empty()) {
        return;
    }
    CMessageBoxes& boxes = m_pCore->Services().messageBoxes;
    std::string strWhy;
    const std::optional<std::string> bytes = CPresetFile::Load(strPath, strWhy);
    const SPresetRead read = bytes
                                 ? CPresetFile::Read(CPresetFile::FormatOf(strPath, *bytes), *bytes)
                                 : SPresetRead{std::nullopt, strWhy, {}};
    if (!read.document) {
        boxes.Show(&MessageTarget(), read.strError, CRadioCore::kCaption,
                   CMessageBoxes::EIcon::Error);
        return;
    }
    CPresetStore store(m_pCore->Profile());
    const std::vector<SPresetChange> changes =
        CPresetImport::Plan(store, *read.document, CScanPlacement::EMode::FreeSlots, m_page());
    const auto text = [this](const char* pKey, const char* pDefault) {
        const std::string strText = m_pCore->GetText(pKey);
        return strText.empty() ? std::string(pDefault) : strText;
    };
    std::string strText = std::to_string(changes.size()) + " " +
                          text("BI_IMPORT_CHANGES", "presets will change:") + "\n";
    for (size_t n = 0; n < changes.size() && n < kShownChanges; ++n) {
        strText += CPresetStore::ModelText(changes[n].nBand) + " " +
                   CPresetImport::Describe(changes[n]) + "\n";
    }
    if (changes.size() > kShownChanges) {
        strText += "...\n";
    }
    for (const std::string& strNote : read.notes) {
        strText += strNote + "\n";
    }
    if (changes.empty() ||
        !boxes.Confirm(&MessageTarget(), strText, CRadioCore::kCaption,
                       text("BI_IMPORT_CONFIRM", "Import"), text("BI_IMPORT_CANCEL", "Cancel"))) {
        return;
    }
    if (!ApplyPresetChanges(store, changes)) {
        ShowSaveFailure();
        return;
    }
    PresetsReplaced();
}
