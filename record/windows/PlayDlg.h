#pragma once

#include <QString>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "skin/Dialog.h"

class CRadioCore;
class QLineEdit;
class QSlider;
class QTreeWidget;
class QTreeWidgetItem;

// The player (template 131, skin "PlayWin"): lists the catalogued recordings,
// plays them one after another through the core's media object, shows and
// sets the position, and deletes recordings or saves copies of them. While it
// plays, the receiver is muted through the tuner; Stop and closing the window
// make it heard again.
//
// A tool window of the main window: docked at its top-right corner and
// snapping back there when dragged close to it. UI thread only. The core must
// outlive the window; the destructor does not touch it.
class CPlayDlg : public CDialog {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 131;

    enum : int {
        IDC_PREVIOUS = 1000,
        IDC_NEXT = 1003,
        IDC_STOP = 1025,
        IDC_PLAY_PAUSE = 1040,
        IDC_LIST = 1042,
        IDC_DELETE = 1045,
        IDC_SAVE_AS = 1046,
        IDC_POSITION = 1050,
        IDC_TITLE = 1059,
        IDC_TIME = 1060,
        IDC_PLAYING = 1061,
        IDC_SEARCH = 1062,
    };
    enum : int { TIMER_POSITION = 1 };
    static constexpr int kPositionPeriodMs = 500;

    // Asks where to save a copy, with a Qt file filter, opening on the path
    // proposed; empty for Cancel. The dialog confirms replacing an existing
    // file.
    using SaveFileDialog = std::function<std::string(QWidget* pOwner, const QString& strFilter,
                                                     const std::string& strProposed)>;

    CPlayDlg(CRadioCore* pCore, CSkinEngine* pSkin, QWidget* pParent = nullptr);
    ~CPlayDlg() override;

    // Stops playback and lets the receiver be heard before the window goes.
    void DestroyWindow() override;

    // Reloads the list from the catalogue, in order of start time: the rows
    // the search words match.
    void FillList();
    // Lists only the recordings whose every word appears in their channel,
    // station, memo or start date (case does not count); empty lists all.
    void Search(const QString& strWords);
    static bool Matches(const QString& strWords, const std::vector<QString>& fields);
    // Plays list row nIndex; the list is circular (past the end is the first
    // row, before the first the last).
    void Play(int nIndex);

    void OnListDblClk();
    void OnPlayPause();
    void OnStop();
    void OnPrevious();
    void OnNext();
    void OnDelete();
    void OnSaveAs();
    void OnSliderReleased();

    int CurrentIndex() const { return m_nCurrentIndex; }
    double Duration() const { return m_dDuration; }
    void SetSaveFileDialog(SaveFileDialog dialog) { m_saveFileDialog = std::move(dialog); }

    // The save dialog's filter for a recording of this type, by its extension
    // in capitals ("WAV", "FLAC"); none is WMA.
    static QString SaveFilter(const std::string& strExtension);
    // "1:05 / 45:00" of a position and a length in seconds; hours only where
    // the length has them.
    static std::string TimeText(double dPosition, double dDuration);

    // The path a copy goes to: the chosen one, with the recording's own
    // ".<extension>" appended unless it already ends so (in any case).
    static std::string SaveTarget(const std::string& strChosen, const std::string& strExtension);
    // Where the save dialog opens: the folder of the last copy, else the
    // Music folder, else the home folder, with the recording's name.
    std::string ProposedCopy(const std::string& strSource) const;

protected:
    bool OnInitDialog() override;
    void OnClose() override;
    void OnTimer(int nId) override;
    void moveEvent(QMoveEvent* pEvent) override;
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    void MapCommands();
    void SetUpList();
    void SetUpSearch();
    void SetUpTooltips();
    int SelectedRow() const;
    int RowCount() const;
    int RowId(int nRow) const;
    int RowOfId(int nId) const;
    void SelectRow(QTreeWidgetItem* pItem);
    // The position and length, and the file playing; empty when none is.
    void ShowPlaying(const std::string& strFile);
    void ShowPosition(double dPosition);
    void EndRecording();
    bool ConfirmDelete(const std::string& strFile);
    // Removes the catalogue row; false (and the user told why) when it stays.
    bool DeleteCatalogueRow(int nId);
    bool CopyRecording(const std::string& strSource, const std::string& strTarget, bool bReplace);
    // The language file's text of a message key, or the English text given.
    std::string Message(const char* pKey) const;
    void ShowError(const std::string& strText);

    double m_dDuration = 0.0;
    int m_nCurrentIndex = -1;
    CRadioCore* const m_pCore;
    QSlider* m_pSlider = nullptr;  // controls of the window
    QTreeWidget* m_pList = nullptr;
    QLineEdit* m_pSearch = nullptr;
    QString m_strSearch;
    SaveFileDialog m_saveFileDialog;
};
