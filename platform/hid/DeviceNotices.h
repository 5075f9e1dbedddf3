#pragma once

class CMessageTarget;

// Tells the main window that HID interfaces came or went, so that it counts
// the receivers again.
//
// Contract: Start() and Stop() on the UI thread. From a successful Start()
// until Stop() or destruction, every arrival or removal of an interface posts
// WM_DEVICECHANGE (wParam DBT_DEVNODES_CHANGED) to the target, from whatever
// thread learns of it. One change may give one notice or several; each means
// "look again". When Stop() returns nothing more is posted. Start() on a
// started object moves the notices to the new target.
class CDeviceNotices {
public:
    virtual ~CDeviceNotices() = default;

    virtual bool Start(CMessageTarget* pTarget) = 0;
    virtual void Stop() = 0;
};
