#include "record/windows/PlayDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QSlider>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTreeWidget>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/RadioCore.h"
#include "platform/db/DBException.h"
#include "platform/dialogs/MessageBoxes.h"
#include "platform/trace/Trace.h"
#include "skin/CommandMap.h"
#include "skin/SkinEngine.h"

namespace {

// The main window's record button (IDC_RECORD of template 102): stopping a
// recording through it keeps the window's lamp, clock and the catalogue in
// step. The player sits below the main window and cannot name its class.
constexpr int kRecordCommand = 1004;

constexpr int kIdRole = Qt::UserRole;

struct SColumn {
    const char* pKey;
    int nWidth;
};
constexpr SColumn kColumns[] = {
    {"PL_CHANNEL", 105}, {"PL_BEGINTIME", 128}, {"PL_DURATION", 90},
    {"PL_STATION", 110}, {"PL_MEMO", 150},
};

constexpr std::pair<int, const char*> kTooltips[] = {
    {CPlayDlg::IDC_PREVIOUS, "Previous"},     {CPlayDlg::IDC_NEXT, "Next"},
    {CPlayDlg::IDC_PLAY_PAUSE, "Play/Pause"}, {CPlayDlg::IDC_STOP, "Stop"},
    {CPlayDlg::IDC_DELETE, "Delete"},         {CPlayDlg::IDC_SAVE_AS, "Save as"},
};

// Messages of the language file. The details (a path, the system's reason)
// follow on a line of their own.
constexpr const char* kNotRemoved = "MESSAGE_18";
constexpr const char* kTargetExists = "MESSAGE_19";
constexpr const char* kNotSaved = "MESSAGE_20";
constexpr const char* kConfirmDelete = "MESSAGE_28";

std::string Upper(std::string str) {
    std::transform(str.begin(), str.end(), str.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return str;
}

std::string Tail(const std::string& str, size_t n) {
    return str.size() <= n ? str : str.substr(str.size() - n);
}

std::string DefaultSaveFileDialog(QWidget* pOwner, const QString& strFilter,
                                  const std::string& strProposed) {
    return QFileDialog::getSaveFileName(pOwner, QString(), QString::fromStdString(strProposed),
                                        strFilter)
        .toStdString();
}

}  // namespace

CPlayDlg::CPlayDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent),
      m_pCore(pCore),
      m_saveFileDialog(DefaultSaveFileDialog) {
    SetEnterIsOk(false);  // the player has no OK: Enter would only close it
    MapCommands();
}

CPlayDlg::~CPlayDlg() = default;

void CPlayDlg::MapCommands() {
    CCommandMap& commands = Commands();
    const auto on = [&](int nId, auto handler) { commands.On(nId, CCommandMap::Clicked, handler); };
    on(IDC_SAVE_AS, [this] { OnSaveAs(); });
    on(IDC_DELETE, [this] { OnDelete(); });
    on(IDC_PLAY_PAUSE, [this] { OnPlayPause(); });
    on(IDC_STOP, [this] { OnStop(); });
    on(IDC_PREVIOUS, [this] { OnPrevious(); });
    on(IDC_NEXT, [this] { OnNext(); });
    commands.On(IDC_LIST, CCommandMap::DblClk, [this] { OnListDblClk(); });
    commands.On(IDC_POSITION, CCommandMap::ReleasedCapture, [this] { OnSliderReleased(); });
}

bool CPlayDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "PlayWin");
    }
    m_pSlider = GetDlgItemAs<QSlider>(IDC_POSITION);
    m_pList = GetDlgItemAs<QTreeWidget>(IDC_LIST);
    SetUpSearch();
    const std::string strTitle = m_pCore->GetText("PL_WINTITLE");
    SetDlgItemText(IDC_TITLE, strTitle);
    setWindowTitle(QString::fromStdString(strTitle));
    SetUpList();
    SetUpTooltips();
    if (m_pSlider) {
        m_pSlider->installEventFilter(this);
    }
    // Placed before it is first shown, as the other tool windows are: a
    // window manager that has not yet framed a shown window would put its
    // client area, not its frame, at the corner.
    DockToOwner();
    return true;
}

void CPlayDlg::SetUpList() {
    if (!m_pList) {
        return;
    }
    QStringList labels;
    for (const SColumn& column : kColumns) {
        labels << QString::fromStdString(m_pCore->GetText(column.pKey));
    }
    m_pList->setColumnCount(static_cast<int>(labels.size()));
    m_pList->setHeaderLabels(labels);
    QHeaderView* pHeader = m_pList->header();
    pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int n = 0; n < static_cast<int>(std::size(kColumns)); ++n) {
        pHeader->resizeSection(n, kColumns[n].nWidth);
    }
    // Full-row selection comes with the report list; the columns may be dragged.
    pHeader->setSectionsMovable(true);
}

void CPlayDlg::SetUpSearch() {
    m_pSearch = GetDlgItemAs<QLineEdit>(IDC_SEARCH);
    if (!m_pSearch) {
        return;
    }
    const std::string strText = m_pCore->GetText("PL_SEARCH");
    const QString strHint = strText.empty() ? QStringLiteral("Search station, memo or date")
                                            : QString::fromStdString(strText);
    m_pSearch->setPlaceholderText(strHint);
    m_pSearch->setAccessibleName(strHint);
    connect(m_pSearch, &QLineEdit::textChanged, this, &CPlayDlg::Search);
}

void CPlayDlg::SetUpTooltips() {
    for (const auto& [nId, pText] : kTooltips) {
        if (QWidget* pButton = GetDlgItem(nId)) {
            pButton->setToolTip(QString::fromUtf8(pText));
        }
    }
}

// List ------------------------------------------------------------------------

void CPlayDlg::FillList() {
    CFileListSet& fileList = m_pCore->FileList();
    fileList.m_strFilter.clear();
    fileList.m_strSort = "BeginTime";
    if (!fileList.Requery() || !m_pList) {
        return;
    }
    m_pList->clear();
    for (int i = 0; !fileList.IsEOF(); fileList.MoveNext()) {
        const std::vector<QString> fields = {
            QString::fromStdString(fileList.m_Channel),
            QString::fromStdString(fileList.m_BeginTime),
            QString::fromStdString(fileList.m_Duration),
            QString::fromStdString(fileList.m_ChannelName),
            QString::fromStdString(fileList.m_Memo),
        };
        if (!Matches(m_strSearch, fields)) {
            continue;
        }
        auto* pItem = new QTreeWidgetItem(m_pList);
        for (int nColumn = 0; nColumn < static_cast<int>(fields.size()); ++nColumn) {
            pItem->setText(nColumn, fields[static_cast<size_t>(nColumn)]);
        }
        pItem->setData(0, kIdRole, fileList.m_ID);
        if (i++ == m_nCurrentIndex) {
            SelectRow(pItem);
        }
    }
}

// The recording playing stays the current one while the rows around it change.
void CPlayDlg::Search(const QString& strWords) {
    const int nCurrentId = m_nCurrentIndex >= 0 ? RowId(m_nCurrentIndex) : 0;
    m_strSearch = strWords.trimmed();
    m_nCurrentIndex = -1;
    FillList();
    m_nCurrentIndex = nCurrentId != 0 ? RowOfId(nCurrentId) : -1;
    if (m_nCurrentIndex >= 0) {
        SelectRow(m_pList->topLevelItem(m_nCurrentIndex));
    }
}

// The start time is kept as "yy-mm-dd hh:mm:ss"; a date typed in full
// ("2026-12-09") finds it as well.
bool CPlayDlg::Matches(const QString& strWords, const std::vector<QString>& fields) {
    const QStringList words = strWords.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return true;
    }
    QStringList haystack(fields.begin(), fields.end());
    if (fields.size() > 1 && fields[1].size() >= 8) {
        haystack << QStringLiteral("20") + fields[1].left(8);
    }
    const QString strAll = haystack.join(QLatin1Char('\n'));
    return std::all_of(words.begin(), words.end(), [&strAll](const QString& strWord) {
        return strAll.contains(strWord, Qt::CaseInsensitive);
    });
}

int CPlayDlg::RowCount() const {
    return m_pList ? m_pList->topLevelItemCount() : 0;
}

int CPlayDlg::RowId(int nRow) const {
    const QTreeWidgetItem* pItem = m_pList ? m_pList->topLevelItem(nRow) : nullptr;
    return pItem ? pItem->data(0, kIdRole).toInt() : 0;
}

int CPlayDlg::RowOfId(int nId) const {
    for (int n = 0; n < RowCount(); ++n) {
        if (RowId(n) == nId) {
            return n;
        }
    }
    return -1;
}

int CPlayDlg::SelectedRow() const {
    for (int n = 0; n < RowCount(); ++n) {
        if (m_pList->topLevelItem(n)->isSelected()) {
            return n;
        }
    }
    return -1;
}

void CPlayDlg::SelectRow(QTreeWidgetItem* pItem) {
    m_pList->setCurrentItem(pItem);
    pItem->setSelected(true);
}

// Playing ---------------------------------------------------------------------

// Playback ends a recording in the media object; ending it here as well keeps
// the recording's catalogue row and the main window's state right.
void CPlayDlg::EndRecording() {
    if (!m_pCore->Recording()) {
        return;
    }
    if (auto* pOwner = qobject_cast<CDialog*>(parentWidget())) {
        pOwner->Commands().Dispatch(kRecordCommand, CCommandMap::Clicked);
    }
    if (m_pCore->Recording()) {
        m_pCore->StopRecording();
    }
}

void CPlayDlg::Play(int nIndex) {
    const int nRows = RowCount();
    if (nRows == 0) {
        return;
    }
    if (nIndex >= nRows) {
        nIndex = 0;
    } else if (nIndex < 0) {
        nIndex = nRows - 1;
    }
    // May reload the list; a new recording sorts after the rows there are.
    EndRecording();
    SelectRow(m_pList->topLevelItem(nIndex));
    m_pList->setFocus();

    m_pCore->MuteReceiver(1);

    CAudioGraph& graph = m_pCore->AudioGraph();
    const std::string strFile = m_pCore->FileList().GetFileName(RowId(nIndex));
    if (graph.OpenPlayback(strFile, true)) {
        m_dDuration = graph.GetDuration();
        if (m_pSlider) {
            m_pSlider->setRange(0, static_cast<int>(m_dDuration));
        }
        SetTimer(TIMER_POSITION, kPositionPeriodMs);
        ShowPlaying(strFile);
    } else {
        KestrelTrace("player", "cannot play \"%s\"", strFile.c_str());
        KillTimer(TIMER_POSITION);
        ShowPlaying({});
    }
    m_nCurrentIndex = nIndex;
}

void CPlayDlg::OnTimer(int nId) {
    if (nId != TIMER_POSITION) {
        CDialog::OnTimer(nId);
        return;
    }
    const CAudioGraph& graph = m_pCore->AudioGraph();
    const double dPosition = graph.GetPosition();
    // An MP3 whose header states no length is measured once it plays.
    if (graph.IsPlaybackOpen() && m_dDuration <= 0.0) {
        m_dDuration = graph.GetDuration();
        if (m_pSlider && m_dDuration > 0.0) {
            m_pSlider->setRange(0, static_cast<int>(m_dDuration));
        }
    }
    if (graph.IsPlaybackOpen()) {
        ShowPosition(dPosition);
    }
    if (!m_pSlider) {
        return;
    }
    // Not under the user's hand while it is being dragged.
    if (!m_pSlider->isSliderDown()) {
        m_pSlider->setValue(static_cast<int>(dPosition));
    }
    // Stopped, or a length not known: a range of 0 would always look played
    // out and start row after row.
    if (!graph.IsPlaybackOpen() || m_dDuration <= 0.0) {
        return;
    }
    if (m_pSlider->maximum() <= dPosition) {
        OnNext();
    }
}

void CPlayDlg::OnSliderReleased() {
    if (!m_pSlider || !m_pCore->AudioGraph().IsPlaybackOpen()) {
        return;
    }
    KillTimer(TIMER_POSITION);
    m_pCore->AudioGraph().Seek(m_pSlider->value(), 0.0);
    SetTimer(TIMER_POSITION, kPositionPeriodMs);
}

void CPlayDlg::OnListDblClk() {
    const int nRow = SelectedRow();
    if (nRow >= 0) {
        Play(nRow);
    }
}

void CPlayDlg::OnPlayPause() {
    int nRow = SelectedRow();
    if (nRow == m_nCurrentIndex) {
        if (m_pCore->AudioGraph().IsPlaybackOpen()) {
            m_pCore->AudioGraph().TogglePause();
            return;
        }
        nRow = std::max(nRow, 0);
    }
    Play(nRow);
}

void CPlayDlg::OnStop() {
    CAudioGraph& graph = m_pCore->AudioGraph();
    graph.SetPlaybackOpen(false);
    graph.ClosePlayback();
    ShowPlaying({});
    m_pCore->MuteReceiver(0);
}

void CPlayDlg::OnPrevious() {
    Play(--m_nCurrentIndex);
}

void CPlayDlg::OnNext() {
    Play(++m_nCurrentIndex);
}

void CPlayDlg::ShowPlaying(const std::string& strFile) {
    SetDlgItemText(IDC_PLAYING, std::filesystem::path(strFile).filename().string());
    if (strFile.empty()) {
        SetDlgItemText(IDC_TIME, "");
        return;
    }
    ShowPosition(0.0);
}

void CPlayDlg::ShowPosition(double dPosition) {
    SetDlgItemText(IDC_TIME, TimeText(dPosition, m_dDuration));
}

std::string CPlayDlg::TimeText(double dPosition, double dDuration) {
    const auto clock = [bHours = dDuration >= 3600.0](double dSeconds) {
        const long nSeconds = std::max(0L, static_cast<long>(dSeconds));
        char text[32];
        if (bHours) {
            std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", nSeconds / 3600, nSeconds / 60 % 60,
                          nSeconds % 60);
        } else {
            std::snprintf(text, sizeof text, "%ld:%02ld", nSeconds / 60, nSeconds % 60);
        }
        return std::string(text);
    };
    return clock(dPosition) + " / " + clock(dDuration);
}

// Deleting --------------------------------------------------------------------

void CPlayDlg::OnDelete() {
    const int nRow = SelectedRow();
    if (nRow < 0) {
        return;
    }
    const int nId = RowId(nRow);
    const std::string strFile = m_pCore->FileList().GetFileName(nId);
    if (!ConfirmDelete(strFile)) {
        return;
    }
    const bool bPlayingRow = nRow == m_nCurrentIndex && m_pCore->AudioGraph().IsPlaybackOpen();
    // The file goes only with its row: a row left behind would point at nothing.
    if (!DeleteCatalogueRow(nId)) {
        return;
    }
    if (bPlayingRow) {
        m_pCore->AudioGraph().ClosePlayback();  // the receiver stays muted
    }
    delete m_pList->takeTopLevelItem(nRow);
    // The rows below moved up; the current one with them.
    if (nRow < m_nCurrentIndex) {
        --m_nCurrentIndex;
    }
    if (!strFile.empty() && std::ifstream(strFile).is_open()) {
        std::error_code error;
        if (!std::filesystem::remove(strFile, error)) {
            KestrelTrace("player", "cannot delete \"%s\": %s", strFile.c_str(),
                         error.message().c_str());
        }
    }
    if (bPlayingRow) {
        Play(m_nCurrentIndex);
    }
}

// A recording is gone for good once deleted; the question's default is No.
bool CPlayDlg::ConfirmDelete(const std::string& strFile) {
    const auto text = [this](const char* pKey, const char* pDefault) {
        const std::string strText = m_pCore->GetText(pKey);
        return strText.empty() ? std::string(pDefault) : strText;
    };
    return m_pCore->Services().messageBoxes.Confirm(
        &MessageTarget(), Message(kConfirmDelete) + "\n" + strFile, CRadioCore::kCaption,
        text("BI_DELETE", "Delete"), text("ALL_CANCLE", "Cancel"));
}

bool CPlayDlg::DeleteCatalogueRow(int nId) {
    CFileListSet& fileList = m_pCore->FileList();
    try {
        fileList.DeleteById(nId);
    } catch (const CDBException& e) {
        ShowError(e.ErrorText());
        return false;
    }
    // DeleteById says nothing when it could not look the row up at all.
    if (fileList.Requery() && fileList.IsEOF()) {
        return true;
    }
    std::string strText = Message(kNotRemoved);
    if (!fileList.GetLastError().empty()) {
        strText += "\n" + fileList.GetLastError();
    }
    ShowError(strText);
    return false;
}

// Saving a copy ---------------------------------------------------------------

QString CPlayDlg::SaveFilter(const std::string& strExtension) {
    const QString strType =
        strExtension.empty() ? QStringLiteral("WMA") : QString::fromStdString(strExtension);
    return strType + QStringLiteral(" File (*.") + strType.toLower() +
           QStringLiteral(");;All Files (*.*)");
}

std::string CPlayDlg::SaveTarget(const std::string& strChosen, const std::string& strExtension) {
    const std::string strSuffix = "." + strExtension;
    if (Upper(Tail(strChosen, strSuffix.size())) == Upper(strSuffix)) {
        return strChosen;
    }
    return strChosen + strSuffix;
}

std::string CPlayDlg::ProposedCopy(const std::string& strSource) const {
    std::string strFolder = m_pCore->Settings().CopyFolder();
    std::error_code error;
    if (strFolder.empty() || !std::filesystem::is_directory(strFolder, error)) {
        strFolder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation).toStdString();
    }
    if (strFolder.empty() || !std::filesystem::is_directory(strFolder, error)) {
        strFolder = QDir::homePath().toStdString();
    }
    return (std::filesystem::path(strFolder) / std::filesystem::path(strSource).filename())
        .string();
}

void CPlayDlg::OnSaveAs() {
    const int nRow = SelectedRow();
    if (nRow < 0) {
        return;
    }
    const std::string strSource = m_pCore->FileList().GetFileName(RowId(nRow));
    if (strSource.empty()) {
        KestrelTrace("player", "row %d has no recording file", RowId(nRow));
        return;
    }
    const std::string strExtension = Tail(strSource, 3);
    const std::string strChosen =
        m_saveFileDialog(this, SaveFilter(Upper(strExtension)), ProposedCopy(strSource));
    if (strChosen.empty()) {
        return;
    }
    const std::string strTarget = SaveTarget(strChosen, strExtension);
    // The dialog asked before replacing the name it gave, not one we extended.
    if (CopyRecording(strSource, strTarget, strTarget == strChosen)) {
        m_pCore->Settings().SetCopyFolder(std::filesystem::path(strTarget).parent_path().string());
    }
}

// Copied under a temporary name and renamed into place, so that a failed copy
// (a full disk) neither leaves half a file nor spoils the one it would replace.
bool CPlayDlg::CopyRecording(const std::string& strSource, const std::string& strTarget,
                             bool bReplace) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::equivalent(strSource, strTarget, error)) {
        return true;  // the recording itself
    }
    if (!bReplace && fs::exists(strTarget, error)) {
        ShowError(Message(kTargetExists) + "\n" + strTarget);
        return false;
    }
    const fs::path temporary = strTarget + ".kestrel-copy";
    if (fs::copy_file(strSource, temporary, fs::copy_options::overwrite_existing, error)) {
        fs::rename(temporary, strTarget, error);
    }
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        ShowError(Message(kNotSaved) + "\n" + strTarget + ": " + error.message());
        return false;
    }
    return true;
}

std::string CPlayDlg::Message(const char* pKey) const {
    return m_pCore->Message(pKey);
}

void CPlayDlg::ShowError(const std::string& strText) {
    m_pCore->Services().messageBoxes.Show(&MessageTarget(), strText, CRadioCore::kCaption,
                                          CMessageBoxes::EIcon::Error);
}

// Window ----------------------------------------------------------------------

// A click on the bar goes where it points, as in every player: the handle is
// put under the pointer first, so that the press takes it and the release
// seeks there.
bool CPlayDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched != m_pSlider || pEvent->type() != QEvent::MouseButtonPress) {
        return CDialog::eventFilter(pWatched, pEvent);
    }
    const auto* pMouse = static_cast<QMouseEvent*>(pEvent);
    if (pMouse->button() != Qt::LeftButton || m_pSlider->maximum() <= m_pSlider->minimum()) {
        return false;
    }
    QStyleOptionSlider option;
    option.initFrom(m_pSlider);
    option.orientation = m_pSlider->orientation();
    option.minimum = m_pSlider->minimum();
    option.maximum = m_pSlider->maximum();
    option.sliderPosition = m_pSlider->sliderPosition();
    option.sliderValue = m_pSlider->value();
    QStyle* pStyle = m_pSlider->style();
    const QRect groove =
        pStyle->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, m_pSlider);
    const QRect handle =
        pStyle->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, m_pSlider);
    if (handle.contains(pMouse->position().toPoint())) {
        return false;  // a drag of the handle
    }
    const int nSpan = groove.width() - handle.width();
    const int nAt = pMouse->position().toPoint().x() - groove.x() - handle.width() / 2;
    m_pSlider->setValue(QStyle::sliderValueFromPosition(m_pSlider->minimum(), m_pSlider->maximum(),
                                                        nAt, std::max(nSpan, 1)));
    return false;
}

void CPlayDlg::moveEvent(QMoveEvent* pEvent) {
    CDialog::moveEvent(pEvent);
    SnapToOwner();
}

void CPlayDlg::OnClose() {
    DestroyWindow();
}

void CPlayDlg::DestroyWindow() {
    if (IsWindow()) {
        OnStop();
        KillTimer(TIMER_POSITION);
    }
    CDialog::DestroyWindow();
}
