#include "control/MprisRootAdaptor.h"

#include "control/ControlBus.h"
#include "control/ControlTarget.h"
#include "generated/BuildInfo.h"

CMprisRootAdaptor::CMprisRootAdaptor(QObject* pObject, CControlBus& bus)
    : QDBusAbstractAdaptor(pObject), m_bus(bus) {}

bool CMprisRootAdaptor::CanRaise() const {
    return m_bus.Target().CanRaise();
}

QString CMprisRootAdaptor::Identity() const {
    return QStringLiteral("Kestrel");
}

QString CMprisRootAdaptor::DesktopEntry() const {
    return QString::fromLatin1(KestrelBuildInfo::kApplicationId);
}

void CMprisRootAdaptor::Raise() {
    m_bus.Target().Raise();
}
