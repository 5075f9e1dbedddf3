#include "platform/instance/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include "platform/posix/UniqueFd.h"

namespace {

std::string Environment(const char* pName) {
    const char* pValue = std::getenv(pName);
    return pValue ? pValue : "";
}

// Platforms that draw into memory only.
bool IsDisplaylessPlatform(const std::string& strPlatform) {
    return strPlatform == "offscreen" || strPlatform == "minimal" || strPlatform == "vnc";
}

bool CanOpenX(const std::string& strDisplay) {
    xcb_connection_t* pConnection = xcb_connect(strDisplay.c_str(), nullptr);
    const bool bOpen = xcb_connection_has_error(pConnection) == 0;
    xcb_disconnect(pConnection);  // also for a connection in error
    return bOpen;
}

bool CanOpenWayland(const std::string& strDisplay) {
    std::string strPath = strDisplay;
    if (strPath.front() != '/') {
        const std::string strRuntime = Environment("XDG_RUNTIME_DIR");
        if (strRuntime.empty()) {
            return false;
        }
        strPath = strRuntime + "/" + strPath;
    }
    sockaddr_un address{};
    if (strPath.size() >= sizeof(address.sun_path)) {
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, strPath.c_str(), strPath.size() + 1);
    const CUniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        return false;
    }
    return ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
}

}  // namespace

bool CDisplayProbe::IsDisplayless() {
    return IsDisplaylessPlatform(Environment("QT_QPA_PLATFORM"));
}

bool CDisplayProbe::CanOpenDisplay(std::string* pWhy) {
    std::string strWhy;
    const std::string strX = Environment("DISPLAY");
    const std::string strWayland = Environment("WAYLAND_DISPLAY");
    if (IsDisplayless()) {
        return true;
    }
    if (!strWayland.empty() && CanOpenWayland(strWayland)) {
        return true;
    }
    if (!strX.empty() && CanOpenX(strX)) {
        return true;
    }
    if (strX.empty() && strWayland.empty()) {
        strWhy = "no display is set";
    } else {
        strWhy = "the display " + (strWayland.empty() ? strX : strWayland) + " cannot be opened";
    }
    if (pWhy) {
        *pWhy = strWhy;
    }
    return false;
}
