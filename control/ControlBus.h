#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>

#include "control/RadioController.h"
#include "platform/desktop/DBusLink.h"
#include "platform/window/qt/QtMessageTarget.h"

class CControlTarget;
class CScriptInterface;

// Remote control on the session bus: the MPRIS player the media keys and the
// desktop's media controls reach, and Kestrel's own interface for scripts.
// Whatever changes the radio (the window, its keys, a scheduled start, these
// interfaces) comes as the core's change notice or the mixer's; the state is
// then compared with the last one and what changed announced with
// PropertiesChanged. Nothing is polled.
//
// Without a session bus, or with the names taken, the radio runs as it would
// without this object; Open() says why.
//
// UI thread only; needs the QCoreApplication. The target must outlive it.
class CControlBus : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kMprisService = "org.mpris.MediaPlayer2.kestrel";
    static constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* kService = "io.github.kestrelradio.Kestrel";
    static constexpr const char* kPath = "/io/github/kestrelradio/Kestrel";
    static constexpr const char* kInterface = "io.github.kestrelradio.Kestrel1";

    // strBusAddress: the session bus's D-Bus address; empty for the one the
    // environment names.
    explicit CControlBus(CControlTarget& target, std::string strBusAddress = {},
                         QObject* pParent = nullptr);
    ~CControlBus() override;

    // Registers the objects and takes the bus names. False with the reason
    // when there is no bus; a name another program holds is traced and the
    // other name still served.
    bool Open(std::string& strWhy);
    bool IsOpen() const { return m_connection.has_value(); }

    CRadioController& Controller() { return m_controller; }
    CControlTarget& Target() { return m_target; }
    // The state as it is now; changes since the last look are announced.
    const SRadioState& Current();
    // Looks at the radio's state and announces what changed.
    void Refresh();
    // Sends a message (a delayed reply) on the bus the objects serve; false
    // without one.
    bool Send(const QDBusMessage& message);

Q_SIGNALS:
    void StateChanged(const SRadioState& before, const SRadioState& now);

private:
    void Announce(const SRadioState& before, const SRadioState& now);

    CControlTarget& m_target;
    // The core's and the mixer's change notices.
    CQtMessageTarget m_notices;
    CRadioController m_controller;
    CDBusLink m_link;
    std::optional<QDBusConnection> m_connection;
    SRadioState m_state;
    // Ends a recording of a given length; runs only while one does.
    QTimer m_lengthClock;
    // The exported objects; their adaptors are their children.
    std::unique_ptr<QObject> m_pMpris;
    std::unique_ptr<CScriptInterface> m_pScript;
    bool m_bRefreshing = false;
};
