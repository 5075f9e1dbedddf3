#pragma once

#include <string>
#include <vector>

#include "platform/desktop/DesktopNotifier.h"

struct SDesktopNotification {
    std::string strSummary;
    std::string strBody;
    ENotificationUrgency urgency = ENotificationUrgency::Normal;
};

// What tests and demo mode do to the simulated notifier: read what was shown
// and take the notification service away.
class CSimDesktopNotifierControl {
public:
    virtual ~CSimDesktopNotifierControl() = default;

    // Every notification shown, oldest first.
    virtual std::vector<SDesktopNotification> Notifications() const = 0;
    virtual void ClearNotifications() = 0;
    // Without the service Notify() shows nothing and returns false. On at first.
    virtual void SetServiceAvailable(bool bAvailable) = 0;
};
