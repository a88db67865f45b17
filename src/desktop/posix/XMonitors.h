#pragma once
// The monitors of the X display named by DISPLAY, as RandR 1.5 lists them,
// for the desktops that need to know where each monitor lies (a picture
// composed to span them all, or a picture of its own on each).

#include "imaging/Placement.h"

#include <string>
#include <vector>

namespace plimbury::desktop {

struct MonitorArea {
    std::string name;  // RandR's name: the output's ("HDMI-1") or a declared one's
    PixelRect area;    // on the screen, in pixels
    friend bool operator==(const MonitorArea&, const MonitorArea&) = default;
};

struct ScreenMonitors {
    int width = 0, height = 0;  // the whole screen
    // The monitors that each show a picture of their own, left to right,
    // then top to bottom; one covering the whole screen when the server
    // names none.
    std::vector<MonitorArea> monitors;
};

// Throws Error when the display cannot be opened.
ScreenMonitors readXMonitors();

} // namespace plimbury::desktop
