#include "platform/desktop/SimDesktopNotifier.h"

#include "platform/trace/Trace.h"

bool CSimDesktopNotifier::Notify(const std::string& strSummary, const std::string& strBody,
                                 ENotificationUrgency urgency) {
    std::lock_guard lock(m_mutex);
    if (!m_bAvailable) {
        if (!m_bFaultTold) {
            m_bFaultTold = true;
            KestrelTrace("desktop", "no desktop notifications: the simulated service is off");
        }
        return false;
    }
    m_bFaultTold = false;
    m_notifications.push_back({strSummary, strBody, urgency});
    KestrelTrace("desktop", "notification: %s: %s", strSummary.c_str(), strBody.c_str());
    return true;
}

std::vector<SDesktopNotification> CSimDesktopNotifier::Notifications() const {
    std::lock_guard lock(m_mutex);
    return m_notifications;
}

void CSimDesktopNotifier::ClearNotifications() {
    std::lock_guard lock(m_mutex);
    m_notifications.clear();
}

void CSimDesktopNotifier::SetServiceAvailable(bool bAvailable) {
    std::lock_guard lock(m_mutex);
    m_bAvailable = bAvailable;
}
