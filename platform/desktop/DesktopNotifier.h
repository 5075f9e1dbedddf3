#pragma once

#include <string>

enum class ENotificationUrgency { Low, Normal, Critical };

// Short messages the desktop shows outside Kestrel's windows, such as how a
// scheduled recording ended.
//
// Contract: UI thread only. Notify() never waits for the notification
// service: it hands the notification over and returns. It returns false when
// there is no one to show it to (no session bus, no notification service);
// that is traced once and is never an error for the caller, who carries on.
// Summary and body are plain UTF-8 text, shown as they are.
class CDesktopNotifier {
public:
    virtual ~CDesktopNotifier() = default;

    virtual bool Notify(const std::string& strSummary, const std::string& strBody,
                        ENotificationUrgency urgency = ENotificationUrgency::Normal) = 0;
};
