#include "tests/system/GuestRig.h"

#include <cstdlib>
#include <ctime>

CGuestRig::CGuestRig()
    : m_oldFolder(std::filesystem::current_path()),
      m_profile(m_dir.File("Kestrel.ini")),
      m_dataSource(m_dir.Path()) {
    setenv("TZ", "UTC", 1);
    tzset();
    // The language file is looked up in the current folder.
    std::filesystem::current_path(m_dir.Path());
    m_profile.WriteProfileString("SET", "PATH", RecordFolder());
    m_skin.Initialise("KestrelFM");
    m_skin.LoadSkin("SKIN", "KESTRELSKIN");
}

CGuestRig::~CGuestRig() {
    CloseWindow();
    std::filesystem::current_path(m_oldFolder);
}

SRadioServices CGuestRig::Services() {
    return {m_receivers, m_notices,   m_mixer, m_media,    m_dataSource.Driver(),
            m_boxes,     m_scheduler, m_clock, m_notifier, m_inhibitor,
            false};
}

CRadioDlg& CGuestRig::Window() {
    if (!m_pWindow) {
        m_pWindow = std::make_unique<CRadioDlg>(Services(), m_profile, &m_skin);
        m_pWindow->Create();
        m_pWindow->show();
    }
    return *m_pWindow;
}

void CGuestRig::CloseWindow() {
    if (m_pWindow) {
        m_pWindow->DestroyWindow();
        m_pWindow.reset();
    }
}
