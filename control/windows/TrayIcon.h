#pragma once

#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <functional>

struct SRadioState;
class CControlBus;

// The radio in the desktop's tray: the presets of the band and the preset
// sets to switch among, recording on and
// off, the window shown and hidden, and what plays and records in the
// tooltip. Made only where the desktop has a tray (IsAvailable()).
//
// UI thread only. The remote control must outlive it.
class CTrayIcon : public QObject {
    Q_OBJECT

public:
    // How the tray reaches the window it stands beside.
    struct SWindow {
        std::function<bool()> isShown;
        std::function<void(bool bShow)> show;
        // Closes the radio as the window's own close sequence does.
        std::function<void()> quit;
    };

    static bool IsAvailable();

    CTrayIcon(CControlBus& remote, SWindow window, QObject* pParent = nullptr);
    ~CTrayIcon() override;

    void Show() { m_icon.show(); }
    QMenu& Menu() { return m_menu; }
    QMenu& Presets() { return *m_pPresets; }
    QMenu& PresetSets() { return *m_pSets; }
    QAction& RecordAction() { return *m_pRecord; }
    QAction& WindowAction() { return *m_pWindow; }
    QString ToolTip() const { return m_icon.toolTip(); }

    QString ToolTipText(const SRadioState& state) const;

    // Brings the menu's items up to date, as it does before it opens.
    void Refresh();

private:
    // A text of the language file, in the window's language.
    QString Message(const char* pKey) const;
    void FillPresets();
    void FillSets();
    void Update(const SRadioState& state);
    void ToggleRecording();
    void ToggleWindow();

    CControlBus& m_remote;
    SWindow m_window;
    QMenu m_menu;
    QMenu* m_pPresets = nullptr;  // children of the menu
    QMenu* m_pSets = nullptr;
    QAction* m_pRecord = nullptr;
    QAction* m_pWindow = nullptr;
    QAction* m_pQuit = nullptr;
    QSystemTrayIcon m_icon;
};
