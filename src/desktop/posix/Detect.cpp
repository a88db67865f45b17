#include "desktop/DesktopBackend.h"

#include "platform/AsciiCase.h"
#include "platform/Launcher.h"
#include "platform/System.h"

#include <string_view>

namespace plimbury::desktop {

namespace {

// Names seen in XDG_CURRENT_DESKTOP and DESKTOP_SESSION, lower-cased. Unity,
// Budgie and Pantheon keep their background in GNOME's schema.
const char* backendForName(std::string_view name)
{
    struct Row {
        std::string_view name;
        const char* backend;
    };
    static constexpr Row kRows[] = {
        {"gnome", "gnome"},          {"gnome-classic", "gnome"}, {"gnome-flashback", "gnome"},
        {"gnome-xorg", "gnome"},     {"gnome-wayland", "gnome"}, {"ubuntu", "gnome"},
        {"ubuntu-wayland", "gnome"}, {"unity", "gnome"},         {"budgie", "gnome"},
        {"budgie-desktop", "gnome"}, {"pantheon", "gnome"},      {"x-cinnamon", "cinnamon"},
        {"cinnamon", "cinnamon"},    {"cinnamon2d", "cinnamon"}, {"mate", "mate"},
        {"xfce", "xfce"},            {"xfce4", "xfce"},          {"xubuntu", "xfce"},
        {"kde", "kde"},              {"plasma", "kde"},          {"plasmawayland", "kde"},
        {"plasmax11", "kde"},        {"lxqt", "lxqt"},           {"lubuntu", "lxqt"},
        {"sway", "sway"},
    };
    for (const Row& row : kRows)
        if (row.name == name)
            return row.backend;
    return nullptr;
}

} // namespace

std::string detectDesktop()
{
    // A colon-separated list, most specific first ("ubuntu:GNOME").
    const std::string current = asciiLower(environmentValue("XDG_CURRENT_DESKTOP"));
    std::string_view rest = current;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        if (const char* backend = backendForName(rest.substr(0, colon)))
            return backend;
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }

    // Some display managers give the session file's full path.
    std::string session = asciiLower(environmentValue("DESKTOP_SESSION"));
    if (const std::size_t slash = session.rfind('/'); slash != std::string::npos)
        session.erase(0, slash + 1);
    if (const char* backend = backendForName(session))
        return backend;

    if (!environmentValue("SWAYSOCK").empty())
        return "sway";
    // Without an interface of its own for the wallpaper, a wlroots
    // compositor still shows swaybg's layer surface.
    if (!environmentValue("WAYLAND_DISPLAY").empty())
        return findProgram("swaybg").empty() ? "none" : "swaybg";
    if (!environmentValue("DISPLAY").empty())
        return "x11";
    return "none";
}

} // namespace plimbury::desktop
