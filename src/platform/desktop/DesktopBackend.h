#pragma once
// The ways of showing a wallpaper on a running desktop away from Windows.
// Wallpaper.cpp stores the path and then hands it to one backend, chosen by
// PLIMBURY_DESKTOP: a name of the table below, or "auto" for detectDesktop().
//
// Adding a desktop: write desktop/<Name>.cpp with a factory, declare the
// factory here, add one row to desktopBackends() in desktop/Backends.cpp and,
// if it can be recognised, teach detectDesktop() about it.

#include <memory>
#include <span>
#include <string>

namespace plimbury {
class Store;
class Wallpaper;
}

namespace plimbury::desktop {

class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;
    // Shows the picture at `path` stretched over the screen, not tiled.
    // Throws Error with a message for the user when the desktop refuses or
    // cannot be reached; returns only when the change was made.
    virtual void showWallpaper(const std::string& path) = 0;
};

struct BackendEntry {
    const char* name;  // the value of PLIMBURY_DESKTOP that selects it
    // May throw Error (for example when the desktop's service is missing).
    std::unique_ptr<DesktopBackend> (*make)();
};

// Every backend, in the order they are listed to the user.
std::span<const BackendEntry> desktopBackends();

// The backend for a table name; null for a name not in the table.
std::unique_ptr<DesktopBackend> makeDesktopBackend(const std::string& name);

// The table name that suits the running session, from the environment
// (XDG_CURRENT_DESKTOP, DESKTOP_SESSION, WAYLAND_DISPLAY, ...); "none" when
// nothing known is running.
std::string detectDesktop();

// Backends.
std::unique_ptr<DesktopBackend> makeNoneBackend();

// makeSystemWallpaper() with a given backend instead of PLIMBURY_DESKTOP's,
// for tests of a backend through the whole hand-over.
std::unique_ptr<Wallpaper> makeWallpaperWith(Store& store, std::unique_ptr<DesktopBackend> backend);

} // namespace plimbury::desktop
