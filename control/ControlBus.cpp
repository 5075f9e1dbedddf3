#include "control/ControlBus.h"

#include <QDBusMessage>
#include <QStringList>

#include "control/ControlTarget.h"
#include "control/MprisPlayerAdaptor.h"
#include "control/MprisRootAdaptor.h"
#include "control/ScriptInterface.h"
#include "core/RadioCore.h"
#include "platform/trace/Trace.h"
#include "platform/window/WindowMessages.h"

namespace {

constexpr const char* kTag = "control";
// As often as the window's recording clock looks at a scheduled end.
constexpr int kLengthClockMs = 500;

}  // namespace

CControlBus::CControlBus(CControlTarget& target, std::string strBusAddress, QObject* pParent)
    : QObject(pParent),
      m_target(target),
      m_notices([this](uint32_t message, uintptr_t, intptr_t) {
          if (message == MM_MIXM_CONTROL_CHANGE || message == WM_RADIO_CHANGED) {
              Refresh();
          }
          return intptr_t{0};
      }),
      m_controller(target, &m_notices),
      m_link(QDBusConnection::SessionBus, std::move(strBusAddress)) {
    m_state = m_controller.State();
    m_lengthClock.setInterval(kLengthClockMs);
    connect(&m_lengthClock, &QTimer::timeout, this, [this] {
        m_controller.Tick();
        Refresh();
    });
    m_target.Core().AddListener(&m_notices);
}

CControlBus::~CControlBus() {
    m_target.Core().RemoveListener(&m_notices);
    m_lengthClock.stop();
    m_notices.Close();
    if (m_connection) {
        m_connection->unregisterObject(QString::fromLatin1(kMprisPath));
        m_connection->unregisterObject(QString::fromLatin1(kPath));
        m_connection->unregisterService(QString::fromLatin1(kMprisService));
        m_connection->unregisterService(QString::fromLatin1(kService));
    }
}

bool CControlBus::Open(std::string& strWhy) {
    std::optional<QDBusConnection> connection = m_link.Connection(strWhy);
    if (!connection) {
        KestrelTrace(kTag, "no remote control: %s", strWhy.c_str());
        return false;
    }
    m_pMpris = std::make_unique<QObject>();
    new CMprisRootAdaptor(m_pMpris.get(), *this);    // children of the object
    new CMprisPlayerAdaptor(m_pMpris.get(), *this);  // they serve
    m_pScript = std::make_unique<CScriptInterface>(*this);
    if (!connection->registerObject(QString::fromLatin1(kMprisPath), m_pMpris.get(),
                                    QDBusConnection::ExportAdaptors) ||
        !connection->registerObject(
            QString::fromLatin1(kPath), m_pScript.get(),
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        strWhy = connection->lastError().message().toStdString();
        KestrelTrace(kTag, "no remote control: %s", strWhy.c_str());
        return false;
    }
    for (const char* pName : {kMprisService, kService}) {
        if (!connection->registerService(QString::fromLatin1(pName))) {
            KestrelTrace(kTag, "the bus name %s is taken: %s", pName,
                         connection->lastError().message().toUtf8().constData());
        }
    }
    m_connection = std::move(connection);
    return true;
}

const SRadioState& CControlBus::Current() {
    Refresh();
    return m_state;
}

void CControlBus::Refresh() {
    // A handler that reads the state announces nothing twice.
    if (m_bRefreshing) {
        return;
    }
    m_bRefreshing = true;
    if (m_controller.HasTimedRecording() != m_lengthClock.isActive()) {
        m_controller.HasTimedRecording() ? m_lengthClock.start() : m_lengthClock.stop();
    }
    SRadioState now = m_controller.State();
    if (!(now == m_state)) {
        const SRadioState before = std::exchange(m_state, std::move(now));
        Announce(before, m_state);
        Q_EMIT StateChanged(before, m_state);
    }
    m_bRefreshing = false;
}

bool CControlBus::Send(const QDBusMessage& message) {
    return m_connection && m_connection->send(message);
}

void CControlBus::Announce(const SRadioState& before, const SRadioState& now) {
    if (!m_connection) {
        return;
    }
    const QVariantMap old = CMprisPlayerAdaptor::Properties(before);
    const QVariantMap current = CMprisPlayerAdaptor::Properties(now);
    QVariantMap changed;
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        if (old.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    if (changed.isEmpty()) {
        return;
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(CMprisPlayerAdaptor::kInterface) << changed << QStringList();
    if (!m_connection->send(signal)) {
        m_link.Fault("the player's changes cannot be announced");
    }
}
