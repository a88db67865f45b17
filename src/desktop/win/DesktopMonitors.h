#pragma once
// The monitors of the Windows desktop and what the system's wallpaper calls
// need of them. The inline part is plain arithmetic and builds everywhere;
// the rest is Windows only.

#include "desktop/Wallpaper.h"
#include "imaging/Placement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plimbury::win {

// The virtual screen (the bounding box of every monitor, in desktop
// coordinates: a monitor left of or above the primary one has negative ones)
// and the monitors in it, left to right, then top to bottom.
struct DesktopScreen {
    PixelRect bounds;
    std::vector<PixelRect> monitors;
};

// The positions in `monitors` of the monitors ordered by their left edge,
// then their top edge; equal ones keep their order.
inline std::vector<std::size_t> leftToRight(const std::vector<PixelRect>& monitors)
{
    std::vector<std::size_t> order(monitors.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&monitors](std::size_t a, std::size_t b) { return leftThenTop(monitors[a], monitors[b]); });
    return order;
}

// The monitors as areas of one picture covering `screen.bounds`, whose top
// left pixel is the virtual screen's.
inline std::vector<PixelRect> spanAreas(const DesktopScreen& screen)
{
    std::vector<PixelRect> areas;
    for (const PixelRect& m : screen.monitors)
        areas.push_back({m.x - screen.bounds.x, m.y - screen.bounds.y, m.width, m.height});
    return areas;
}

// IDesktopWallpaper's DESKTOP_WALLPAPER_POSITION for `fit` (DWPOS_CENTER 0,
// DWPOS_TILE 1, DWPOS_STRETCH 2, DWPOS_FIT 3, DWPOS_FILL 4).
constexpr int wallpaperPosition(FitMode fit)
{
    switch (fit) {
    case FitMode::Stretch: return 2;
    case FitMode::Fill: return 4;
    case FitMode::Fit: return 3;
    case FitMode::Center: return 0;
    case FitMode::Tile: return 1;
    }
    return 2;
}

// A COLORREF: 0x00bbggrr.
constexpr std::uint32_t colourRef(Colour colour)
{
    return static_cast<std::uint32_t>(colour.red) | static_cast<std::uint32_t>(colour.green) << 8 |
           static_cast<std::uint32_t>(colour.blue) << 16;
}

// Windows only from here.

// The monitors as EnumDisplayMonitors lists them, and the virtual screen from
// GetSystemMetrics. A screen that cannot be read has no monitors. Does not throw.
DesktopScreen readDesktopScreen();

// The name of the picture spanned across the monitors where the system cannot
// give each monitor a picture of its own: "lumavue-span.bmp" in the program's
// own folder of %LOCALAPPDATA% (created when missing; the temporary folder
// without LOCALAPPDATA), never beside a picture of the user's.
std::string spanPicturePath();

using ScreenReader = std::function<DesktopScreen()>;

// The system wallpaper of makeSystemWallpaper() with its monitors read by
// `screen`, and with the system's per-monitor wallpaper interface left
// unused, so that several pictures are always composed into the spanned one.
// For tests of that path on systems that have the interface, or one monitor.
std::unique_ptr<Wallpaper> makeSpanningWallpaper(Store& store, ScreenReader screen);

} // namespace plimbury::win
