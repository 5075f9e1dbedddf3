#pragma once

#include <mutex>

#include "platform/desktop/DesktopNotifier.h"
#include "platform/desktop/SimDesktopNotifierControl.h"

// A notification service held in memory. Demo mode also finds each
// notification in the trace.
class CSimDesktopNotifier : public CDesktopNotifier, public CSimDesktopNotifierControl {
public:
    bool Notify(const std::string& strSummary, const std::string& strBody,
                ENotificationUrgency urgency) override;

    std::vector<SDesktopNotification> Notifications() const override;
    void ClearNotifications() override;
    void SetServiceAvailable(bool bAvailable) override;

private:
    mutable std::mutex m_mutex;
    std::vector<SDesktopNotification> m_notifications;
    bool m_bAvailable = true;
    bool m_bFaultTold = false;
};
