// What the session's environment chooses where programs installed matter:
// swaybg for Wayland compositors of no known kind, and the Qt platform the
// program's windows use.
#ifndef _WIN32

#include "desktop/DesktopBackend.h"
#include "desktop/Session.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

using namespace plimbury::desktop;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

TEST(DesktopDetect, TheSessionsVariablesAndSwaybgInPathChooseTheBackend)
{
    TempDir dir;
    // Folders for PATH: one with an executable swaybg, one with a swaybg
    // that cannot be run, one without.
    for (const char* folder : {"with", "unrunnable", "without"})
        std::filesystem::create_directories(dir.file(folder));
    writeFile(dir.file("with/swaybg"), "#!/bin/sh\n");
    chmod(dir.file("with/swaybg").c_str(), 0755);
    writeFile(dir.file("unrunnable/swaybg"), "#!/bin/sh\n");
    chmod(dir.file("unrunnable/swaybg").c_str(), 0644);
    const std::string with = dir.file("with");
    const std::string unrunnable = dir.file("unrunnable");
    const std::string without = dir.file("without");
    const std::string later = without + ":" + unrunnable + ":" + with;
    const char* const swaysock = "/run/user/1000/sway-ipc.sock";

    struct Case {
        const char* current = nullptr;
        const char* session = nullptr;
        const char* sway = nullptr;
        const char* wayland = nullptr;
        const char* display = nullptr;
        std::string path = {};  // PATH; a folder without swaybg when empty
        const char* backend = nullptr;
    };
    for (const Case& c : {
             Case{.current = "GNOME", .wayland = "wayland-0", .display = ":0", .backend = "gnome"},
             Case{.current = "ubuntu:GNOME", .display = ":0", .backend = "gnome"},
             Case{.current = "Budgie:GNOME", .display = ":0", .backend = "gnome"},
             Case{.current = "Unity", .display = ":0", .backend = "gnome"},
             Case{.current = "X-Cinnamon", .display = ":0", .backend = "cinnamon"},
             Case{.current = "MATE", .display = ":0", .backend = "mate"},
             Case{.current = "XFCE", .display = ":0", .backend = "xfce"},
             Case{.current = "KDE", .wayland = "wayland-0", .backend = "kde"},
             Case{.current = "LXQt", .display = ":0", .backend = "lxqt"},
             Case{.current = "sway", .sway = swaysock, .wayland = "wayland-1", .backend = "sway"},
             Case{.current = "X-Unknown:XFCE", .display = ":0", .backend = "xfce"},
             Case{.session = "plasma", .display = ":0", .backend = "kde"},
             Case{.current = "", .session = "/usr/share/xsessions/xfce", .display = ":0", .backend = "xfce"},
             Case{.session = "cinnamon", .display = ":0", .backend = "cinnamon"},
             Case{.current = "Hyprland", .sway = swaysock, .wayland = "wayland-1", .backend = "sway"},
             Case{.current = "Hyprland", .session = "hyprland", .wayland = "wayland-1", .display = ":1", .backend = "none"},
             Case{.session = "openbox", .display = ":0", .backend = "x11"},
             Case{.current = "i3", .session = "i3", .display = ":0", .backend = "x11"},
             Case{.backend = "none"},
             // An unknown Wayland session gets swaybg where it can be run.
             Case{.current = "Hyprland", .wayland = "wayland-1", .path = with, .backend = "swaybg"},
             Case{.current = "river", .wayland = "wayland-1", .display = ":1", .path = later, .backend = "swaybg"},
             Case{.wayland = "wayland-0", .path = with, .backend = "swaybg"},
             Case{.current = "labwc:wlroots", .wayland = "wayland-0", .path = unrunnable, .backend = "none"},
             Case{.current = "wayfire", .wayland = "wayland-0", .display = ":0", .backend = "none"},
             // Known desktops and sway keep their own, whatever is installed.
             Case{.current = "sway", .sway = swaysock, .wayland = "wayland-1", .path = with, .backend = "sway"},
             Case{.current = "Hyprland", .sway = swaysock, .wayland = "wayland-1", .path = with, .backend = "sway"},
             Case{.current = "KDE", .wayland = "wayland-0", .display = ":1", .path = with, .backend = "kde"},
             Case{.current = "GNOME", .wayland = "wayland-0", .display = ":0", .path = with, .backend = "gnome"},
             // swaybg draws on Wayland only.
             Case{.current = "i3", .display = ":0", .path = with, .backend = "x11"},
             Case{.path = with, .backend = "none"},
         }) {
        SCOPED_TRACE(std::string(c.current ? c.current : "-") + " / " + (c.session ? c.session : "-") + " / " +
                     c.path);
        ScopedEnv current("XDG_CURRENT_DESKTOP", c.current);
        ScopedEnv session("DESKTOP_SESSION", c.session);
        ScopedEnv sway("SWAYSOCK", c.sway);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv path("PATH", (c.path.empty() ? without : c.path).c_str());
        EXPECT_EQ(detectDesktop(), c.backend);
    }
}

TEST(DesktopDetect, WaylandSessionsUseX11WhereOfferedAndTheUsersChoiceStands)
{
    struct Case {
        const char* wayland;
        const char* display;
        const char* chosen;
        const char* platform;
    };
    for (const Case& c : {
             Case{"wayland-0", ":0", nullptr, "xcb"},
             Case{"wayland-0", nullptr, nullptr, "wayland"},
             Case{"wayland-0", "", nullptr, "wayland"},
             Case{"wayland-0", ":0", "wayland", ""},
             Case{"wayland-0", nullptr, "offscreen", ""},
             Case{nullptr, ":0", nullptr, ""},
             Case{"", ":0", nullptr, ""},
             Case{nullptr, nullptr, nullptr, ""},
         }) {
        SCOPED_TRACE(std::string(c.wayland ? c.wayland : "-") + " / " + (c.display ? c.display : "-") + " / " +
                     (c.chosen ? c.chosen : "-"));
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv chosen("QT_QPA_PLATFORM", c.chosen);
        EXPECT_EQ(windowPlatform(), c.platform);
    }
}

} // namespace

#endif
