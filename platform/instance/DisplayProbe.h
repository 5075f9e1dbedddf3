#pragma once

#include <string>

// Whether this process can open a window: the display named by its
// environment is there and lets it in. A scheduler starts the program with
// the environment of the moment the job was made, long after that display
// may have gone; opening it then would abort the program.
//
// Any thread; each call asks anew.
class CDisplayProbe {
public:
    // True when Qt will not need a display (QT_QPA_PLATFORM names a platform
    // without one), when the X display of DISPLAY accepts a connection, or
    // when the Wayland socket of WAYLAND_DISPLAY does. strWhy says why not.
    static bool CanOpenDisplay(std::string* pWhy = nullptr);
    // True when QT_QPA_PLATFORM names a platform that draws into memory only:
    // a window there is one nobody sees.
    static bool IsDisplayless();
};
