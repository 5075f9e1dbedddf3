#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QPointer>

#include "skin/Dialog.h"

class CRadioCore;
class CScanDlg;
class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

// The preset editor (template 132, skin "ShortKeyWin"): lists the hundred
// slots of one band, stores a typed frequency and title in a chosen slot or
// clears the selected one, and tells the main window after every change so
// that it relabels its keypad. Docked at the main window's top-right corner;
// snaps back there when dragged within a few pixels of it.
//
// The profile is the only store: the list is read from it and every change is
// written to it at once.
//
// UI thread only. The core must outlive the window.
class CShortKeyDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 132;
    static constexpr const char* kSkinName = "ShortKeyWin";

    enum : int {
        IDC_MODEL = 1024,
        IDC_TITLE = 1031,
        IDC_LIST = 1042,
        IDC_MODEL_LABEL = 1046,
        IDC_FREQUENCY = 1047,
        IDC_KEY = 1048,
        IDC_APPLY = 1049,
        IDC_DELETE = 1050,
        IDC_KEY_LABEL = 1051,
        IDC_FREQUENCY_LABEL = 1052,
        IDC_TITLE_LABEL = 1053,
        IDC_WINDOW_TITLE = 1059,
        IDC_SET = 1060,
        IDC_SCAN = 1061,
        IDC_IMPORT = 1062,
        IDC_EXPORT = 1063,
    };
    enum : int { COLUMN_KEY, COLUMN_MODEL, COLUMN_FREQUENCY, COLUMN_TITLE, COLUMNS };

    CShortKeyDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent = nullptr);
    ~CShortKeyDlg() override;

    // The commands of the window's controls.
    void OnApply();
    void OnDelete();
    void OnListDblClk();
    void OnModelChange();
    void OnFrequencyKillFocus();

    // Refills the list with the slots of a band; returns the first empty slot,
    // which it selects, or -1 when all are used.
    int FillList(int nBand);
    // Selects the first row whose frequency cell starts with the typed
    // frequency, in the key box too; returns its row (-1 for none) and, when
    // asked, its title.
    int FollowFrequency(std::string* pTitle = nullptr);

    // The preset sets: the box lists them and, last, a new one.
    void OnSetChange();
    // Opens the band scan window.
    void OnScan();
    // A preset file in (shown before it changes anything) or out.
    void OnImport();
    void OnExport();

    // Seams for the modal dialogs: a file to read or write (empty: none
    // chosen) and a new set's name (none: cancelled).
    using FileDialog = std::function<std::string(QWidget* pOwner, bool bSave)>;
    using NameDialog = std::function<std::optional<std::string>(QWidget* pOwner)>;
    void SetFileDialog(FileDialog dialog) { m_fileDialog = std::move(dialog); }
    void SetNameDialog(NameDialog dialog) { m_nameDialog = std::move(dialog); }
    // The keypad page a scan's "Replace this page" replaces.
    void SetPageSource(std::function<int()> page) { m_page = std::move(page); }

    int KeyIndex() const { return m_nKeyIndex; }
    int ModelIndex() const { return m_nModelIndex; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnInitDialog() override;
    void moveEvent(QMoveEvent* pEvent) override;

private:
    void MapCommands();
    void LoadTexts();
    void LayOutControls();
    QTreeWidgetItem* SelectedRow() const;
    void SetRow(QTreeWidgetItem* pItem, int nBand, const std::string& strFrequency,
                const std::string& strTitle);
    void NotifyMainWindow(uintptr_t wParam, intptr_t lParam);
    void ShowSaveFailure();
    void FillSets();
    // After the presets changed wholesale: the list and the keypad follow.
    void PresetsReplaced();

    std::string m_strLastFrequency;
    CRadioCore* const m_pCore;
    QComboBox* m_pModelBox = nullptr;  // controls of the window
    QComboBox* m_pKeyBox = nullptr;
    QTreeWidget* m_pList = nullptr;
    std::string m_strFrequency;
    std::string m_strTitle;
    int m_nKeyIndex = -1;
    int m_nModelIndex = -1;
    QComboBox* m_pSetBox = nullptr;
    FileDialog m_fileDialog;
    NameDialog m_nameDialog;
    std::function<int()> m_page;
    QPointer<CScanDlg> m_pScan;  // a child while open
};
