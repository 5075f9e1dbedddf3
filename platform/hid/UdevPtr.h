#pragma once

#include <memory>

struct udev;
struct udev_device;
struct udev_enumerate;
struct udev_monitor;

// Owners of libudev's reference-counted objects: each drops its reference
// with the matching udev_*_unref. Declared without libudev's header, so that
// the classes holding them need not include it.
struct SUdevUnref {
    void operator()(udev* p) const;
    void operator()(udev_device* p) const;
    void operator()(udev_enumerate* p) const;
    void operator()(udev_monitor* p) const;
};

using UdevPtr = std::unique_ptr<udev, SUdevUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, SUdevUnref>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, SUdevUnref>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, SUdevUnref>;
