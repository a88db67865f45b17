#pragma once
// `monitors = each` on desktops that show one picture over all monitors
// (the GSettings desktops): the monitors' pictures composed into one picture
// of the whole screen, which the desktop is told to span across them.

#include "desktop/DesktopBackend.h"
#include "desktop/posix/XMonitors.h"
#include "imaging/Placement.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plimbury::desktop {

// Composes `paths` over `screen`'s monitors, in their order (the list repeats
// when it is shorter), with composePictures(), into a fresh name in `folder`
// (see freshWallpaperPath(): a desktop given the name it already shows would
// not reload it), and returns that name. The errors of composePictures() and
// freshWallpaperPath().
std::string composedWallpaper(const ScreenMonitors& screen, const std::vector<std::string>& paths,
                              const PictureLayout& layout, const std::string& folder);

// Where the monitors come from: readXMonitors() (under Wayland, Xwayland's
// view of the outputs), or a fixed screen in tests.
using ScreenReader = std::function<ScreenMonitors()>;

// The GSettings desktops of DesktopBackend.h with their monitors read by
// `screen` (the factories there use readXMonitors()); the composed picture
// goes into wallpaperCacheFolder().
std::unique_ptr<DesktopBackend> makeGnomeBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen);
std::unique_ptr<DesktopBackend> makeCinnamonBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen);
std::unique_ptr<DesktopBackend> makeMateBackend(std::unique_ptr<SettingsStore> settings, ScreenReader screen);

} // namespace plimbury::desktop
