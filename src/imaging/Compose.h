#pragma once
// One picture for a whole screen of several monitors, for desktops that show
// a single picture across all of them: each monitor's own picture laid over
// its area as a PlacedPicture, the background colour between and around them.

#include "imaging/Placement.h"

#include <string>
#include <vector>

namespace plimbury {

// Writes a `width` x `height` 24-bit bitmap at `bmpPath`, replacing it
// atomically, in which monitor i (an area of the canvas, which may reach past
// its edges) shows paths[i % paths.size()] placed as `layout` says; the
// canvas outside every monitor is layout.background. Where monitors overlap
// the smaller one is shown, as the X server paints declared monitors.
//
// Memory follows the monitors' pixels, not the pictures': each distinct file
// is read once, scaled down by its decoder as far as it still covers the
// largest monitor showing it (Stretch, Fill, Fit), or kept only in the part
// those monitors show (Center, Tile); the canvas goes to the file in bands of
// rows. A bitmap (the form the desktops are handed) is read whole.
//
// Every picture is read before the file is touched: on any error the old file
// stays as it was. Errors: those of loadPicture() and decodePicture() (a
// missing file: Error("Cannot open file \"<path>\". <system text>")) and of
// BmpWriter; Error("The screen has no pixels") for a side below 1 and
// Error("No picture for the monitors") for an empty list of paths.
void composePictures(int width, int height, const std::vector<PixelRect>& monitors,
                     const std::vector<std::string>& paths, const PictureLayout& layout, const std::string& bmpPath);

} // namespace plimbury
