#include "settings/windows/OptionDlg.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMoveEvent>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "core/RadioCore.h"
#include "mixer/MixerLine.h"
#include "platform/mixer/MixerServices.h"
#include "platform/mixer/MixerTypes.h"
#include "platform/profile/Profile.h"
#include "platform/text/Utf8Text.h"
#include "platform/trace/Trace.h"
#include "platform/window/MessageTarget.h"
#include "platform/window/WindowMessages.h"
#include "skin/CommandMap.h"
#include "skin/DataExchange.h"
#include "skin/SkinEngine.h"

namespace {

constexpr const char* kTag = "options";
constexpr const char* kBrowseTitle = "Select Path";

constexpr std::pair<int, const char*> kTexts[] = {
    {COptionDlg::IDC_TITLE, "OP_WINTITLE"},
    {COptionDlg::IDC_LABEL_STANDARD, "OP_STANDARD"},
    {COptionDlg::IDC_LABEL_RECEIVER, "OP_RECEIVER"},
    {1040, "OP_SCANLEVEL"},
    {1041, "OP_INPUTDEVICE"},
    {1042, "OP_INPUTPORT"},
    {1043, "OP_RECORDTYPE"},
    {1044, "OP_RECORDQUALITY"},
    {1045, "OP_RECORDPATH"},
    {COptionDlg::IDC_LABEL_NAME_PATTERN, "OP_NAMEPATTERN"},
    {CDialog::IDOK, "ALL_OK"},
    {CDialog::IDCANCEL, "ALL_CANCLE"},
};

// The controls that take the height of the labels.
constexpr int kLinedUp[] = {
    COptionDlg::IDC_RECEIVER,     COptionDlg::IDC_STANDARD, COptionDlg::IDC_LANGUAGE,
    COptionDlg::IDC_SCAN_LEVEL,   COptionDlg::IDC_DEVICE,   COptionDlg::IDC_PORT,
    COptionDlg::IDC_RECORD_TYPE,  COptionDlg::IDC_QUALITY,  COptionDlg::IDC_PATH,
    COptionDlg::IDC_NAME_PATTERN,
};

bool IsRecordingSource(uint32_t nType) {
    return nType == MIXERLINE_COMPONENTTYPE_SRC_LINE ||
           nType == MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
}

std::string BrowseWithDesktop(QWidget* pOwner, const std::string& strTitle,
                              const std::string& strStart) {
    return QFileDialog::getExistingDirectory(pOwner, QString::fromStdString(strTitle),
                                             QString::fromStdString(strStart),
                                             QFileDialog::ShowDirsOnly)
        .toStdString();
}

}  // namespace

COptionDlg::COptionDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent)
    : CDialog(kTemplateId, pSkin, pParent), m_pCore(pCore), m_browseFolder(BrowseWithDesktop) {
    // Only the OK button stores: Enter in the path box must not store and close.
    SetEnterIsOk(false);
    Commands().On(IDC_BROWSE, CCommandMap::Clicked, [this] { OnBrowse(); });
    Commands().On(IDC_DEVICE, CCommandMap::SelChange, [this] { FillPortList(); });
}

COptionDlg::~COptionDlg() = default;

bool COptionDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (SkinEngine()) {
        SkinEngine()->ApplySkin(this, "OptionWin");
    }
    LoadTexts();
    LoadSettings();
    LayOutControls();
    FillReceiverList();
    DockToOwner();
    // A receiver with its own audio is recorded from it: no card's input to choose.
    if (m_pCore->Services().bVista || m_pCore->BringsOwnAudio()) {
        EnableDlgItem(IDC_DEVICE, false);
        EnableDlgItem(IDC_PORT, false);
    }
    return true;
}

void COptionDlg::DoDataExchange(CDataExchange& dx) {
    dx.CBIndex(IDC_STANDARD, m_nStandard);
    dx.Text(IDC_PATH, m_strPath);
    dx.Text(IDC_NAME_PATTERN, m_strNamePattern);
    dx.CBIndex(IDC_QUALITY, m_nQuality);
    dx.CBIndex(IDC_RECORD_TYPE, m_nRecordType);
    dx.CBIndex(IDC_SCAN_LEVEL, m_nScanLevel);
    dx.CBIndex(IDC_DEVICE, m_nDevice);
    dx.CBIndex(IDC_LANGUAGE, m_nLanguage);
}

void COptionDlg::LoadTexts() {
    for (const auto& [nId, pKey] : kTexts) {
        SetDlgItemText(nId, m_pCore->GetText(pKey));
    }
    setWindowTitle(QString::fromStdString(m_pCore->GetText("OP_WINTITLE")));
    if (auto* pPattern = GetDlgItemAs<QLineEdit>(IDC_NAME_PATTERN)) {
        pPattern->setPlaceholderText(QStringLiteral("{start}"));
        const std::string strTip = m_pCore->GetText("OP_NAMEPATTERN_TIP");
        pPattern->setToolTip(QString::fromStdString(
            strTip.empty() ? "{start} {date} {time} {station} {memo} {band}" : strTip));
    }
    const auto texts = [this](std::initializer_list<const char*> keys) {
        std::vector<std::string> items;
        for (const char* pKey : keys) {
            items.push_back(m_pCore->GetText(pKey));
        }
        return items;
    };
    FillList(IDC_STANDARD, texts({"OP_STAND_EURO", "OP_STAND_JAPAN", "OP_STAND_USA"}));
    // Highest first, the reverse of the template's order.
    FillList(IDC_SCAN_LEVEL,
             texts({"OP_SCANLEVEL_HIGH", "OP_SCANLEVEL_MIDDLE", "OP_SCANLEVEL_LOW"}));
    FillList(IDC_QUALITY,
             texts({"OP_RECORDQUALITY_NORMAL", "OP_RECORDQUALITY_GOOD", "OP_RECORDQUALITY_BEST"}));
    FillList(IDC_LANGUAGE, m_pCore->Texts().LanguageList(m_pCore->Language()));
}

void COptionDlg::FillReceiverList() {
    auto* pReceivers = GetDlgItemAs<QComboBox>(IDC_RECEIVER);
    if (!pReceivers) {
        return;
    }
    const std::vector<SReceiverDevice> devices = m_pCore->ReceiverDevices();
    if (devices.size() < 2) {
        LeaveOutReceiverRow();
        return;
    }
    // The one the profile names, else the first: the one the receiver opens.
    const std::string strWanted = m_pCore->Settings().ReceiverDevice();
    int nSelected = 0;
    for (const SReceiverDevice& device : devices) {
        if (device.strId == strWanted) {
            nSelected = pReceivers->count();
        }
        pReceivers->addItem(QString::fromStdString(device.strName),
                            QString::fromStdString(device.strId));
    }
    pReceivers->setCurrentIndex(nSelected);
    m_strReceiverShown = devices[static_cast<size_t>(nSelected)].strId;
    // Another receiver while recording would cut the recording short.
    EnableDlgItem(IDC_RECEIVER, m_pCore->Recording() == 0);
}

// The rows below move up into its place and the window loses its height.
void COptionDlg::LeaveOutReceiverRow() {
    QWidget* pReceivers = GetDlgItem(IDC_RECEIVER);
    const QWidget* pStandard = GetDlgItem(IDC_STANDARD);
    if (!pReceivers || !pStandard) {
        return;
    }
    const int nRowTop = pReceivers->y();
    const int nRow = pStandard->y() - nRowTop;
    for (int nId : {IDC_RECEIVER, IDC_LABEL_RECEIVER}) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->hide();
        }
    }
    for (QWidget* pChild : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (pChild->y() > nRowTop) {
            pChild->move(pChild->x(), pChild->y() - nRow);
        }
    }
    setFixedSize(width(), height() - nRow);
}

void COptionDlg::FillList(int nId, const std::vector<std::string>& items) {
    auto* pCombo = GetDlgItemAs<QComboBox>(nId);
    if (!pCombo) {
        return;
    }
    pCombo->clear();
    for (const std::string& strItem : items) {
        pCombo->addItem(QString::fromStdString(strItem));
    }
}

void COptionDlg::LoadSettings() {
    const CSettings settings = m_pCore->Settings();
    m_nStandard = settings.Standard();
    m_nQuality = settings.Quality();
    m_nRecordType = settings.RecordType();
    m_nScanLevel = settings.ScanLevel();
    m_strPath = m_pCore->RecordFolder();
    m_strNamePattern = settings.NamePattern();
    // A fresh profile follows the desktop's language, not index 1.
    m_nLanguage = m_pCore->Texts().LanguageIndex();

    std::string strDeviceName = settings.DeviceName();
    std::string strPinName = settings.PinName();
    if (strDeviceName.empty()) {
        m_pCore->FindDefaultInput(strDeviceName, strPinName);
    }
    FillDeviceList(strDeviceName);
    FillPortList();
    if (!m_pCore->HasMixerInput()) {
        EnableDlgItem(IDC_DEVICE, false);
        EnableDlgItem(IDC_PORT, false);
    }
    UpdateData(false);

    // A damaged value shows as no selection; OK then stores -1 for it.
    for (int nId : {IDC_STANDARD, IDC_SCAN_LEVEL, IDC_RECORD_TYPE, IDC_QUALITY}) {
        const auto* pCombo = GetDlgItemAs<QComboBox>(nId);
        if (pCombo && pCombo->currentIndex() < 0) {
            KestrelTrace(kTag, "the profile's value for list %d is not one of its items", nId);
        }
    }
}

// Each item carries its device identifier: a device that cannot be named is
// left out of the list, so list positions and identifiers may differ.
void COptionDlg::FillDeviceList(const std::string& strDeviceName) {
    auto* pDevices = GetDlgItemAs<QComboBox>(IDC_DEVICE);
    if (!pDevices) {
        return;
    }
    pDevices->clear();
    CMixerServices& mixer = m_pCore->Services().mixer;
    const uint32_t nDevices = mixer.GetNumDevs();
    m_nDevice = -1;
    for (uint32_t id = 0; id < nDevices; ++id) {
        SMixerCaps caps;
        if (!mixer.GetDevCaps(static_cast<int>(id), caps)) {
            continue;
        }
        if (m_nDevice < 0 && caps.strProductName == strDeviceName) {
            m_nDevice = pDevices->count();
        }
        pDevices->addItem(QString::fromStdString(caps.strProductName), static_cast<int>(id));
    }
    if (m_nDevice < 0 && pDevices->count() > 0) {
        m_nDevice = 0;  // the stored device is gone: take the first
    }
    pDevices->setCurrentIndex(m_nDevice);
}

// The stored port type picks the port, the last port of that type by the
// rule of old; a port of that type that also bears the stored name wins.
// Recording takes its input by name, and cards often have several
// microphone ports: confirming the window for another setting must not move
// the recording to a different socket.
void COptionDlg::FillPortList() {
    auto* pPorts = GetDlgItemAs<QComboBox>(IDC_PORT);
    const auto* pDevices = GetDlgItemAs<QComboBox>(IDC_DEVICE);
    if (!pPorts || !pDevices) {
        return;
    }
    std::vector<std::string> names;
    std::vector<uint32_t> types;
    if (pDevices->currentIndex() >= 0) {
        CMixerLine mixer(m_pCore->Services().mixer);
        mixer.ListSpeakerSources(pDevices->currentData().toInt(), names, types);
    }
    pPorts->clear();
    const CSettings settings = m_pCore->Settings();
    const int nWantedType = settings.PinType();
    const std::string strWantedName = settings.PinName();
    int nSelected = -1;
    bool bNamed = false;
    for (size_t n = 0; n < std::min(names.size(), types.size()); ++n) {
        if (!IsRecordingSource(types[n])) {
            continue;
        }
        pPorts->addItem(QString::fromStdString(names[n]), static_cast<int>(types[n]));
        if (!bNamed && static_cast<int>(types[n]) == nWantedType) {
            nSelected = pPorts->count() - 1;
            bNamed = names[n] == strWantedName;
        }
    }
    if (nSelected < 0 && pPorts->count() > 0) {
        nSelected = 0;
    }
    pPorts->setCurrentIndex(nSelected);
}

void COptionDlg::OnBrowse() {
    if (!m_browseFolder) {
        return;
    }
    // The whole path: a folder cut short would be another folder.
    const std::string strFolder = m_browseFolder(this, kBrowseTitle, GetDlgItemText(IDC_PATH));
    if (!strFolder.empty()) {
        SetDlgItemText(IDC_PATH, strFolder);
    }
}

void COptionDlg::OnOK() {
    UpdateData(true);
    CSettings settings = m_pCore->Settings();
    const auto* pPorts = GetDlgItemAs<QComboBox>(IDC_PORT);
    const bool bPort = pPorts && pPorts->currentIndex() >= 0;
    settings.SetInput(GetDlgItemText(IDC_DEVICE), GetDlgItemText(IDC_PORT),
                      bPort ? pPorts->currentData().toInt() : -1);
    settings.SetOptions(m_nStandard, m_nScanLevel, m_nQuality, m_nRecordType, m_strPath,
                        m_nLanguage);
    // "{start}" is the name without a pattern; kept as none.
    const std::string strPattern(CUtf8Text::Trim(m_strNamePattern));
    settings.SetNamePattern(strPattern == "{start}" ? std::string() : strPattern);
    const auto* pReceivers = GetDlgItemAs<QComboBox>(IDC_RECEIVER);
    const std::string strReceiver =
        pReceivers && pReceivers->isVisibleTo(this) && pReceivers->currentIndex() >= 0
            ? pReceivers->currentData().toString().toStdString()
            : std::string();
    const bool bOtherReceiver = !strReceiver.empty() && strReceiver != m_strReceiverShown;
    if (bOtherReceiver) {
        settings.SetReceiverDevice(strReceiver);
    }

    m_pCore->ReloadLanguage();
    if (m_pCore->MainWindow()) {
        m_pCore->MainWindow()->Send(WM_LANGUAGE_CHANGED, 0, 0);
    }
    m_pCore->ApplyBandPlan();
    m_pCore->SelectInputMute();
    // The main window opens the chosen one as it would a receiver plugged in.
    if (bOtherReceiver) {
        m_pCore->CloseReceiver();
        if (m_pCore->MainWindow()) {
            m_pCore->MainWindow()->Post(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        }
    }
    EndDialog(IDOK);
}

// Measured against the first label, so that every row has the text's height.
void COptionDlg::LayOutControls() {
    const QWidget* pLabel = GetDlgItem(IDC_LABEL_STANDARD);
    if (!pLabel) {
        return;
    }
    const int nHeight = pLabel->height() + 5;
    for (int nId : kLinedUp) {
        if (QWidget* pControl = GetDlgItem(nId)) {
            pControl->resize(pControl->width(), nHeight);
        }
    }
    const QWidget* pQuality = GetDlgItem(IDC_QUALITY);
    if (QWidget* pPath = GetDlgItem(IDC_PATH); pPath && pQuality) {
        pPath->move(pQuality->x(), pQuality->y() + pQuality->height() + 2);
    }
}

void COptionDlg::moveEvent(QMoveEvent* pEvent) {
    CDialog::moveEvent(pEvent);
    SnapToOwner();
}
