#pragma once
// The ways of showing a wallpaper on a running desktop away from Windows.
// posix/Wallpaper.cpp stores the path and then hands it to one backend, chosen by
// PLIMBURY_DESKTOP: a name of the table below, or "auto" for detectDesktop().
//
// Adding a desktop: write posix/<Name>.cpp with a factory, declare the
// factory here, add one row to desktopBackends() in posix/Backends.cpp and,
// if it can be recognised, teach detectDesktop() about it.
//
// Every backend shows the picture as the layout says (stretched over each
// monitor unless told otherwise), and
// reports every failure as an Error whose text says what went wrong; none of
// them returns when the desktop was not changed. A backend that sees the
// desktop's own slideshow switched on (it would replace our picture at its
// next turn) still makes the change, then throws kSlideshowNotice once for
// its lifetime (Plasma's says that the slideshow was switched off instead:
// setting the picture there replaces it).

#include "desktop/MonitorWatch.h"
#include "imaging/Picture.h"
#include "imaging/Placement.h"
#include "platform/Launcher.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace plimbury {
class Store;
class Wallpaper;
}

namespace plimbury::desktop {

class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;
    // Shows the picture at `path` on every monitor, laid out as setLayout() said.
    // Throws Error with a message for the user when the desktop refuses or
    // cannot be reached; returns only when the change was made.
    virtual void showWallpaper(const std::string& path) = 0;
    // Where the picture is painted by this program and so does not follow
    // monitor changes by itself (x11), a watch on them; else null.
    virtual std::unique_ptr<MonitorWatch> watchMonitors() { return nullptr; }
    // How the next pictures meet the monitors; false when this desktop cannot
    // show `layout` (it then goes on stretching them).
    virtual bool setLayout(const PictureLayout& layout) { return layout == PictureLayout{}; }
    // The monitors that can each show a picture of their own; 1 where this
    // desktop shows one picture on all of them.
    virtual int monitorCount() { return 1; }
    // A picture of its own on each of those monitors, in their order (left
    // to right, then top to bottom; the list repeats when it is shorter).
    // Where the desktop cannot, it shows the first everywhere and returns false.
    virtual bool showWallpapers(const std::vector<std::string>& paths)
    {
        showWallpaper(paths.front());
        return paths.size() <= 1;
    }
};

// A backend that shows every layout: it keeps the one asked for.
class LayoutBackend : public DesktopBackend {
public:
    bool setLayout(const PictureLayout& layout) override
    {
        m_layout = layout;
        return true;
    }

protected:
    const PictureLayout& layout() const { return m_layout; }

private:
    PictureLayout m_layout;
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

// The table name that suits the running session, from the environment:
// XDG_CURRENT_DESKTOP (its first known entry), then DESKTOP_SESSION, then
// SWAYSOCK; a Wayland session of another kind (WAYLAND_DISPLAY) gets
// "swaybg" when swaybg is found in PATH and "none" otherwise, as the X root
// window it may also offer is not what is shown; then "x11" when DISPLAY is
// set; else "none".
std::string detectDesktop();

inline constexpr const char* kSlideshowNotice =
    "The desktop's own slideshow is switched on and will replace the wallpaper at its next turn; "
    "switch it off in the desktop's background settings";

// ---------------------------------------------------------------------------
// Backends. The factories without arguments talk to the real desktop; the
// others take the seam through which they do, so tests can see what is sent.

std::unique_ptr<DesktopBackend> makeNoneBackend();

// GSettings, as far as the backends need it.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Whether the schema is installed and has the key.
    virtual bool hasKey(const std::string& schema, const std::string& key) = 0;
    // Sets a string (or enumeration) key. Throws Error when the schema or key
    // is missing, the value is refused, the key is locked, or the settings
    // cannot reach other programs.
    virtual void setString(const std::string& schema, const std::string& key, const std::string& value) = 0;
    // A boolean key; false when the schema or key is missing.
    virtual bool readBool(const std::string& schema, const std::string& key) = 0;
    // Makes the writes so far reach the settings' storage.
    virtual void sync() = 0;
};
// Through GIO's GSettings, with its default backend (dconf on a desktop).
std::unique_ptr<SettingsStore> makeGSettingsStore();

// org.gnome.desktop.background (GNOME, Unity, Budgie, Pantheon).
std::unique_ptr<DesktopBackend> makeGnomeBackend();
std::unique_ptr<DesktopBackend> makeGnomeBackend(std::unique_ptr<SettingsStore> settings);
// org.cinnamon.desktop.background, and its slideshow schema.
std::unique_ptr<DesktopBackend> makeCinnamonBackend();
std::unique_ptr<DesktopBackend> makeCinnamonBackend(std::unique_ptr<SettingsStore> settings);
// org.mate.background.
std::unique_ptr<DesktopBackend> makeMateBackend();
std::unique_ptr<DesktopBackend> makeMateBackend(std::unique_ptr<SettingsStore> settings);

// XFCE: every /backdrop/screen*/monitor*/workspace* of the channel
// xfce4-desktop, through the xfconf service on the session bus.
std::unique_ptr<DesktopBackend> makeXfceBackend();

// Plasma: a desktop script run by the shell. The runner sends the script and
// returns what it printed; it throws Error when Plasma refuses it.
using ScriptRunner = std::function<std::string(const std::string& script)>;
std::unique_ptr<DesktopBackend> makeKdeBackend();
std::unique_ptr<DesktopBackend> makeKdeBackend(ScriptRunner runner);
// The script that shows the pictures (file URIs) on the desktops, laid out
// as asked: the screens, left to right then top to bottom, take them in turn
// (the list repeats when it is shorter). It prints "slideshow" when one of
// them was showing Plasma's own slideshow, "no desktops" when there is none.
std::string plasmaWallpaperScript(const std::vector<std::string>& fileUris, const PictureLayout& layout);
// The script that prints how many screens show a desktop.
std::string plasmaScreenCountScript();

// sway and other wlroots compositors that take swaymsg: "output * bg <path> <mode> <colour>",
// or "output <name> bg ..." for each output's own picture.
std::unique_ptr<DesktopBackend> makeSwayBackend();
std::unique_ptr<DesktopBackend> makeSwayBackend(CommandRunner runner);
// The argument that carries `path` through swaymsg, sway's command parser
// and the shell-like expansion sway applies to background file names.
std::string swayPathArgument(const std::string& path);

// Any other wlroots compositor (river, labwc, wayfire, Hyprland...): a
// child "swaybg -o <output> -m <mode> -i <path> -c <colour>" of this program
// draws the wallpaper (a group for each output, or one without -o for all).
// A change starts a new child and ends the one before only once the new one
// has drawn; a failed change leaves the one before running. The child ends
// with the backend, and with the thread that started it when the program dies
// without ending it (PR_SET_PDEATHSIG): make the changes from a thread that
// lasts, as the program's main thread does. Throws Error("Cannot start
// swaybg. <system text>") when it is not installed, and an Error quoting
// swaybg when it exits or cannot load the picture.
std::unique_ptr<DesktopBackend> makeSwaybgBackend();

// LXQt's desktop: pcmanfm-qt --set-wallpaper <path> --wallpaper-mode <mode>.
std::unique_ptr<DesktopBackend> makeLxqtBackend();
std::unique_ptr<DesktopBackend> makeLxqtBackend(CommandRunner runner);

// Any other X11 window manager: the root window's background pixmap, scaled
// to the screen, with the _XROOTPMAP_ID / ESETROOT_PMAP_ID convention, kept
// after the connection closes. The pixels come from loadPicture(), or from
// the reader given (which gets the largest monitor's size as its hint).
using PictureReader = std::function<Picture(const std::string& path, int screenWidth, int screenHeight)>;
std::unique_ptr<DesktopBackend> makeX11Backend();
std::unique_ptr<DesktopBackend> makeX11Backend(PictureReader reader);

// makeSystemWallpaper() with a given backend instead of PLIMBURY_DESKTOP's,
// for tests of a backend through the whole hand-over.
std::unique_ptr<Wallpaper> makeWallpaperWith(Store& store, std::unique_ptr<DesktopBackend> backend);

} // namespace plimbury::desktop
