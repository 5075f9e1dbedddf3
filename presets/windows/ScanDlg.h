#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "presets/ScanPlacement.h"
#include "presets/ScanStation.h"
#include "receiver/BandScan.h"
#include "skin/Dialog.h"

class CRadioCore;
class QProgressBar;
class QTreeWidget;

// The band scan window (template 141, skin "ScanWin"): scans the current
// band with the receiver's own station test, shows the channel under test,
// the count found and a progress bar, and lists the stations (frequency,
// signal, stereo, name). The listener ticks the ones to keep, may retitle
// them (the name they send by default) and stores them: into the free
// presets, over the keypad's page or over the whole band. Nothing is stored
// before that, and a stopped scan stores nothing.
//
// UI thread only; the scan's worker reaches the window through queued calls.
// The core must outlive the window; closing it stops its scan.
class CScanDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 141;
    static constexpr const char* kSkinName = "ScanWin";

    enum : int {
        IDC_STATUS = 1101,
        IDC_PROGRESS = 1102,
        IDC_RESULTS = 1103,
        IDC_STORE_FREE = 1104,
        IDC_STORE_PAGE = 1105,
        IDC_STORE_BAND = 1106,
        IDC_SCAN = 1107,
        IDC_STORE = 1108,
        IDC_STORED = 1109,
    };
    enum : int { COLUMN_FREQUENCY, COLUMN_SIGNAL, COLUMN_STEREO, COLUMN_NAME, COLUMNS };

    // nPage: the keypad page "Replace this page" replaces.
    CScanDlg(CRadioCore* pCore, CSkinEngine* pSkin, int nPage, QWidget* pParent = nullptr);
    ~CScanDlg() override;

    // Scan starts one, or stops the one running.
    void OnScan();
    void OnStore();
    bool IsScanning() const { return m_nScan != 0; }
    // The stations the last scan found, as the list holds them now.
    std::vector<SScanStation> Chosen() const;

Q_SIGNALS:
    // The presets were written (the main window has been told).
    void PresetsStored();

protected:
    bool OnInitDialog() override;
    void DestroyWindow() override;

private:
    void MapCommands();
    void LoadTexts();
    std::string Text(const char* pKey, const char* pDefault) const;
    void ShowProgress(const SScanProgress& progress);
    void ScanEnded(bool bCancelled);
    void FillResults(const std::vector<SScanStation>& stations);
    CScanPlacement::EMode StoreMode() const;
    void StopScan();

    CRadioCore* m_pCore;
    const int m_nPage;
    QProgressBar* m_pProgress = nullptr;
    QTreeWidget* m_pResults = nullptr;
    uint64_t m_nScan = 0;  // the core's number of the scan running
    int m_nBand = 1;
    std::vector<SScanStation> m_found;
    bool m_bCancelled = false;
};
