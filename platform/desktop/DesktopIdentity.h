#pragma once

#include <string>

// How Kestrel names itself to the desktop: the application name and icon that
// notifications carry and the "who" of a sleep inhibitor. Kept in this one
// place so that a desktop entry, once installed, changes them all together.
struct SDesktopIdentity {
    std::string strAppName = "Kestrel";
    // An icon name from the icon theme, or an absolute file path.
    std::string strIconName = "kestrel";
    // The desktop entry id without ".desktop"; empty while none is installed.
    std::string strDesktopEntry;
};
