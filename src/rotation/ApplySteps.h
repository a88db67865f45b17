#pragma once
// The two apply steps: what makes one list entry current on the desktop.
// Both throw Error with the user's text; the tick then keeps the entry for
// the channel's next turn.

#include "imaging/Placement.h"

#include <cstddef>
#include <string>
#include <vector>

namespace plimbury {

class ScreenSaverSelector;
class Store;
class Wallpaper;

inline constexpr const char* kWallpaperBitmapName = "lumavue.bmp";

// <dataFolder>/lumavue.bmp: the one converted picture the program keeps.
std::string wallpaperBitmapPath(const std::string& dataFolder);

// The entry's content decides: a bitmap is handed to the desktop as it is;
// a picture of any other format this build reads (JPEG, PNG, WebP, GIF, TIFF,
// HEIF/AVIF, whatever its name) is converted to `bitmapPath` first (8 bits
// with a palette when the wallpaper's display has 8 bits or fewer), and a
// failure there stops the step before anything else changes: "Cannot open
// file ...", the decoders' errors, and "<entry> is not a picture this program
// can read" for anything else. Then TileWallPaper and WallPaperStyle go to
// the desktop key, as Windows reads them for `fit` (stretch "0"/"2", fill
// "0"/"10", fit "0"/"6", center "0"/"0", tile "1"/"0"); then the bitmap (or the bitmap entry's own path) is
// handed to the desktop. The hand-over is made also when the style settings
// failed; their error ("Failed to create key Desktop", "Failed to set data
// for 'TileWallPaper'", ...) is thrown after it, unless the hand-over failed
// itself.
void applyWallpaper(const std::string& entry, Store& store, Wallpaper& wallpaper,
                    const std::string& bitmapPath, FitMode fit = FitMode::Stretch);

// <dataFolder>/lumavue-monitor<n>.bmp: the converted picture of the n-th
// monitor (counted from 0 here, named from 1) when each shows its own.
std::string monitorBitmapPath(const std::string& dataFolder, std::size_t monitor);

// A picture of its own on each monitor: every entry made a file the desktop
// takes as applyWallpaper() does (the i-th converted to monitorBitmapPath(i)),
// stopping at the first that fails; then the style values and the hand-over
// of them all.
void applyWallpapers(const std::vector<std::string>& entries, Store& store, Wallpaper& wallpaper,
                     const std::string& dataFolder, FitMode fit = FitMode::Stretch);

// SCRNSAVE.EXE = the entry, unchanged, in the desktop key. Errors: "Failed to
// create key Desktop", "Failed to set data for 'SCRNSAVE.EXE'". Then, with a
// selector, the system's screen saver is told (away from Windows the value
// alone changes nothing), with the selector's errors and notices.
void applyScreensaver(const std::string& entry, Store& store, ScreenSaverSelector* selector = nullptr);

} // namespace plimbury
