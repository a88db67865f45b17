#pragma once
// What the running session is, away from Windows, as far as the program's
// windows and its messages need to know: read from the environment and,
// for the colour depth, from the X display.

#include <string>

namespace plimbury::desktop {

// The Qt platform plugin the program's windows should use, from the
// environment: "" (Qt's own choice) when QT_QPA_PLATFORM is set or there is
// no Wayland session (WAYLAND_DISPLAY unset); "xcb" for a Wayland session
// that also offers X11 (DISPLAY set), where a window may place itself and
// be shaped; "wayland" for one without X11.
std::string windowPlatform();

// The session the environment describes, in words for the user who is told
// that detectDesktop() found nothing to drive: "no display", "an X11
// session", "a Wayland session of an unknown kind", each followed by
// ` (XDG_CURRENT_DESKTOP "<value>")` (or DESKTOP_SESSION's) when one is set.
std::string describeSession();

// The depth of the X display named by DISPLAY (its default screen's root
// window), the wallpaper being shown there whatever the desktop; 24 without
// a display or when it cannot be opened.
int x11ScreenDepth();

} // namespace plimbury::desktop
