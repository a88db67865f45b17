#pragma once
// Handing a picture file to the desktop as its wallpaper, stretched, not tiled.
// On Windows: SystemParametersInfoA(SPI_SETDESKWALLPAPER, ...). Elsewhere the
// path is stored as "Wallpaper" in the store's Control Panel\Desktop key, then
// the running desktop is asked to show it through the backend named by
// PLIMBURY_DESKTOP ("auto" by default, "none" stores only).

#include <memory>
#include <string>

namespace plimbury {

class Store;

class Wallpaper {
public:
    virtual ~Wallpaper() = default;
    // Throws Error with a message for the user when the desktop refuses.
    virtual void setDesktopWallpaper(const std::string& path) = 0;
};

// The store must outlive the returned object.
std::unique_ptr<Wallpaper> makeSystemWallpaper(Store& store);

} // namespace plimbury
