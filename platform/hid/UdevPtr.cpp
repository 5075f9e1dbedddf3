#include "platform/hid/UdevPtr.h"

#include <libudev.h>

void SUdevUnref::operator()(udev* p) const {
    udev_unref(p);
}

void SUdevUnref::operator()(udev_device* p) const {
    udev_device_unref(p);
}

void SUdevUnref::operator()(udev_enumerate* p) const {
    udev_enumerate_unref(p);
}

void SUdevUnref::operator()(udev_monitor* p) const {
    udev_monitor_unref(p);
}
