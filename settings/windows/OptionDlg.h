#pragma once

#include <functional>
#include <string>
#include <vector>

#include "skin/Dialog.h"

class CRadioCore;

// The options window (template 133, skin "OptionWin"): edits the band plan,
// scan level, recording input, format, quality and folder and the language,
// and which receiver to use when several of its kind are plugged in (the
// row is left out otherwise).
// Every opening reloads the settings from the profile; only OK writes them,
// and then makes the core, the tuner and the main window take them up.
//
// A tool window of the main window: docked to its top-right corner, it snaps
// back there when dragged within kSnapDistance pixels of it. OK and Cancel
// destroy the window (it frees itself with Qt::WA_DeleteOnClose).
//
// UI thread only. The core must outlive the window.
class COptionDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 133;

    enum : int {
        IDC_PATH = 1015,
        IDC_BROWSE = 1016,
        IDC_NAME_PATTERN = 1017,
        IDC_LABEL_NAME_PATTERN = 1046,
        IDC_PORT = 1028,
        IDC_DEVICE = 1048,
        IDC_QUALITY = 1049,
        IDC_STANDARD = 1050,
        IDC_RECORD_TYPE = 1051,
        IDC_SCAN_LEVEL = 1052,
        IDC_LANGUAGE = 1053,
        IDC_TITLE = 1059,
        IDC_LABEL_STANDARD = 1039,
        IDC_RECEIVER = 1060,
        IDC_LABEL_RECEIVER = 1061,
    };

    // Asks the user for a folder, starting at strStart; empty when the user
    // cancels. Tests put their own in place of the desktop's folder dialog.
    using FolderBrowser = std::function<std::string(QWidget* pOwner, const std::string& strTitle,
                                                    const std::string& strStart)>;

    // pCore must not be null.
    COptionDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent = nullptr);
    ~COptionDlg() override;

    void SetFolderBrowser(FolderBrowser browser) { m_browseFolder = std::move(browser); }

    // Handlers of the device list and the browse button.
    void FillPortList();
    void OnBrowse();

    // Members exchanged with the controls.
    int m_nStandard = -1;
    std::string m_strPath;
    std::string m_strNamePattern;
    int m_nQuality = -1;
    int m_nRecordType = -1;
    int m_nScanLevel = -1;
    int m_nDevice = -1;
    int m_nLanguage = -1;

protected:
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override;
    void moveEvent(QMoveEvent* pEvent) override;

private:
    void LoadTexts();
    void FillList(int nId, const std::vector<std::string>& items);
    void LoadSettings();
    void FillDeviceList(const std::string& strDeviceName);
    // The receivers to choose from; the row goes when there is no choice.
    void FillReceiverList();
    void LeaveOutReceiverRow();
    void LayOutControls();

    CRadioCore* const m_pCore;
    FolderBrowser m_browseFolder;
    std::string m_strReceiverShown;  // the receiver selected when the window opened
};
