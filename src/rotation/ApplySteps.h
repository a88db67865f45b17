#pragma once
// The two apply steps: what makes one list entry current on the desktop.
// Both throw Error with the user's text; the tick then keeps the entry for
// the channel's next turn.

#include <string>
#include <string_view>

namespace plimbury {

class ScreenSaverSelector;
class Store;
class Wallpaper;

inline constexpr const char* kWallpaperBitmapName = "lumavue.bmp";

// <dataFolder>/lumavue.bmp: the one converted picture the program keeps.
std::string wallpaperBitmapPath(const std::string& dataFolder);

// The entry's extension: from the last period of its file name to the end,
// period included, ASCII letters upper-cased; "" when the name has no period.
std::string upperExtension(std::string_view entry);

// A ".JPG"/".JPEG" entry is converted to `bitmapPath` first (8 bits with a
// palette when the wallpaper's display has 8 bits or fewer; its failures
// stop the step before anything else changes); then TileWallPaper "0" and
// WallPaperStyle "2" go to the desktop key; then the bitmap (or any other
// entry's own path, unchanged) is handed to the desktop. The hand-over is
// made also when the style settings failed; their error ("Failed to create
// key Desktop", "Failed to set data for 'TileWallPaper'", ...) is thrown
// after it, unless the hand-over failed itself.
void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath);

// SCRNSAVE.EXE = the entry, unchanged, in the desktop key. Errors: "Failed to
// create key Desktop", "Failed to set data for 'SCRNSAVE.EXE'". Then, with a
// selector, the system's screen saver is told (away from Windows the value
// alone changes nothing), with the selector's errors and notices.
void applyScreensaver(const std::string& entry, Store& store, ScreenSaverSelector* selector = nullptr);

} // namespace plimbury
