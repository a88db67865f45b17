#pragma once
// Handing a picture file to the desktop as its wallpaper, stretched, not tiled.
// On Windows: SystemParametersInfoA(SPI_SETDESKWALLPAPER, ...). Elsewhere the
// path is stored as "Wallpaper" in the store's Control Panel\Desktop key of
// the current user, then the running desktop is asked to show it through the
// backend named by PLIMBURY_DESKTOP ("auto", the default, detects the desktop;
// "none" stores only; the names are matched without regard to case).

#include "desktop/MonitorWatch.h"
#include "imaging/Placement.h"

#include <memory>
#include <string>
#include <vector>

namespace plimbury {

class Store;

class Wallpaper {
public:
    virtual ~Wallpaper() = default;
    // Throws Error with a message for the user when the desktop refuses, and
    // never returns when the change was not made. When the path cannot be
    // stored the desktop is still changed, then "Failed to create key Desktop"
    // or "Failed to set data for 'Wallpaper'" is thrown. An unknown
    // PLIMBURY_DESKTOP is reported here, before anything is stored, with the
    // accepted names. When "auto" finds no desktop it can drive, the path is
    // stored and the first successful store of this object's life throws an
    // Error saying so (what was found, that the choice was only recorded,
    // the names PLIMBURY_DESKTOP takes); the later ones say nothing.
    virtual void setDesktopWallpaper(const std::string& path) = 0;

    // Bits per pixel of the display the wallpaper is shown on; 24 when it
    // cannot be told. Displays of 8 bits or fewer get an 8-bit picture.
    virtual int colourDepth() { return 24; }

    // A watch on the monitors where this program paints the wallpaper itself
    // (the plain X11 desktop, see MonitorWatch.h); null where the desktop or
    // the system keeps the wallpaper over monitor changes on its own, and
    // where the desktop cannot be reached now.
    virtual std::unique_ptr<MonitorWatch> watchMonitors() { return nullptr; }

    // Shows the recorded wallpaper (the store's "Wallpaper") again, over the
    // monitors as they now stand; nothing when none is recorded. Records
    // nothing. Throws Error as setDesktopWallpaper() does.
    virtual void showAgain() {}

    // How the pictures of the next changes (and of showAgain) meet the
    // monitors. Where the desktop cannot show `layout`, the pictures are
    // shown stretched and the next change says so once, as an Error thrown
    // after the change was made. On Windows the style values the apply step
    // stores decide for one picture; the layout serves several monitors.
    virtual void setLayout(const PictureLayout& layout) { static_cast<void>(layout); }

    // The monitors that can each show a picture of their own, left to right
    // then top to bottom; 1 where the desktop shows one picture on all of
    // them, or cannot be asked. Does not throw.
    virtual int monitorCount() { return 1; }
    // A picture of its own on each of those monitors (the list repeats when
    // it is shorter); the first is recorded as "Wallpaper" (on Windows without
    // a picture per monitor, the one composed of them all). Where the desktop
    // cannot, every monitor shows the first and the change says so once, as
    // an Error after the change. Throws as setDesktopWallpaper() does.
    virtual void setDesktopWallpapers(const std::vector<std::string>& paths) { setDesktopWallpaper(paths.front()); }
};

// The store must outlive the returned object. Does not throw.
std::unique_ptr<Wallpaper> makeSystemWallpaper(Store& store);

} // namespace plimbury
