// What the session's environment chooses where programs installed matter:
// swaybg for Wayland compositors of no known kind, and the Qt platform the
// program's windows use.
#ifndef _WIN32

#include "desktop/DesktopBackend.h"
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

TEST(DesktopDetect, UnknownWaylandSessionsGetSwaybgWhenItIsInPath)
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

    struct Case {
        const char* current;
        const char* sway;
        const char* wayland;
        const char* display;
        std::string path;
        const char* backend;
    };
    for (const Case& c : {
             Case{"Hyprland", nullptr, "wayland-1", nullptr, with, "swaybg"},
             Case{"river", nullptr, "wayland-1", ":1", later, "swaybg"},
             Case{nullptr, nullptr, "wayland-0", nullptr, with, "swaybg"},
             Case{"labwc:wlroots", nullptr, "wayland-0", nullptr, unrunnable, "none"},
             Case{"wayfire", nullptr, "wayland-0", ":0", without, "none"},
             // Known desktops and sway keep their own, whatever is installed.
             Case{"sway", "/run/user/1000/sway-ipc.sock", "wayland-1", nullptr, with, "sway"},
             Case{"Hyprland", "/run/user/1000/sway-ipc.sock", "wayland-1", nullptr, with, "sway"},
             Case{"KDE", nullptr, "wayland-0", ":1", with, "kde"},
             Case{"GNOME", nullptr, "wayland-0", ":0", with, "gnome"},
             // swaybg draws on Wayland only.
             Case{"i3", nullptr, nullptr, ":0", with, "x11"},
             Case{nullptr, nullptr, nullptr, nullptr, with, "none"},
         }) {
        SCOPED_TRACE(std::string(c.current ? c.current : "-") + " / " + c.path);
        ScopedEnv current("XDG_CURRENT_DESKTOP", c.current);
        ScopedEnv session("DESKTOP_SESSION", nullptr);
        ScopedEnv sway("SWAYSOCK", c.sway);
        ScopedEnv wayland("WAYLAND_DISPLAY", c.wayland);
        ScopedEnv display("DISPLAY", c.display);
        ScopedEnv path("PATH", c.path.c_str());
        EXPECT_EQ(detectDesktop(), c.backend);
    }
}

TEST(DesktopDetect, FindProgramSearchesPathLikeExecvp)
{
    TempDir dir;
    for (const char* folder : {"a", "b", "c/tool"})
        std::filesystem::create_directories(dir.file(folder));
    writeFile(dir.file("a/tool"), "#!/bin/sh\n");
    chmod(dir.file("a/tool").c_str(), 0644);
    writeFile(dir.file("b/tool"), "#!/bin/sh\n");
    chmod(dir.file("b/tool").c_str(), 0755);
    chmod(dir.file("c/tool").c_str(), 0755);
    const std::string a = dir.file("a"), b = dir.file("b"), c = dir.file("c");

    ScopedEnv path("PATH", (c + ":" + a + ":" + b).c_str());
    EXPECT_EQ(findProgram("tool"), b + "/tool") << "folders and unrunnable files are passed over";
    EXPECT_EQ(findProgram("no-such-tool-of-plimbury"), "");
    EXPECT_EQ(findProgram(b + "/tool"), b + "/tool");
    EXPECT_EQ(findProgram(a + "/tool"), "");
    EXPECT_EQ(findProgram(""), "");
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
