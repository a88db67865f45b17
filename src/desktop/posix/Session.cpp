#include "desktop/Session.h"

#include "platform/System.h"

namespace plimbury::desktop {

std::string windowPlatform()
{
    if (!environmentValue("QT_QPA_PLATFORM").empty() || environmentValue("WAYLAND_DISPLAY").empty())
        return {};
    // Wayland lets no window place itself; Xwayland keeps the window's
    // position, its shape and the editors beside it working.
    return environmentValue("DISPLAY").empty() ? "wayland" : "xcb";
}

std::string describeSession()
{
    std::string name = environmentValue("XDG_CURRENT_DESKTOP");
    std::string nameSource = "XDG_CURRENT_DESKTOP";
    if (name.empty()) {
        name = environmentValue("DESKTOP_SESSION");
        nameSource = "DESKTOP_SESSION";
    }
    const std::string named = name.empty() ? "" : " (" + nameSource + " \"" + name + "\")";
    if (!environmentValue("WAYLAND_DISPLAY").empty())
        return "a Wayland session of an unknown kind" + named;
    if (!environmentValue("DISPLAY").empty())
        return "an X11 session" + named;
    return "no display" + named;
}

} // namespace plimbury::desktop
