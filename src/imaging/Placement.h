#pragma once
// How a picture meets a monitor of another size or shape: the fit modes, the
// geometry they give in whole pixels, and the pixels that come of it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace plimbury {

enum class FitMode {
    Stretch,   // the whole picture over the whole monitor, aspect not kept
    Fill,      // covers the monitor, aspect kept, the overflow cropped evenly
    Fit,       // the whole picture inside, aspect kept, bands of background
    Center,    // its own size in the middle, background around, cropped if larger
    Tile,      // its own size, repeated from the monitor's top left corner
};

// "stretch", "fill", "fit", "center", "tile".
const char* fitWord(FitMode mode);
std::optional<FitMode> fitModeOf(std::string_view word);

struct Colour {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

// "#rrggbb", lower case.
std::string colourText(Colour colour);
// "#rrggbb" in either case; nullopt for anything else.
std::optional<Colour> colourOf(std::string_view text);

// How pictures meet the monitors: the fit and the colour around them.
struct PictureLayout {
    FitMode fit = FitMode::Stretch;
    Colour background;
    friend bool operator==(const PictureLayout&, const PictureLayout&) = default;
};

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// The order monitors take pictures in: left to right, then top to bottom.
inline bool leftThenTop(const PixelRect& a, const PixelRect& b)
{
    return a.x != b.x ? a.x < b.x : a.y < b.y;
}

// The part of the picture shown (`source`, in picture pixels) and where it is
// drawn on the monitor (`target`, in monitor pixels, inside the monitor); the
// rest of the monitor shows the background colour. For Tile the target is the
// first tile, the picture's own size at the top left corner (it may reach
// past the monitor), and the picture repeats from there. Scaled sides are
// rounded to the nearest pixel and never less than one.
// Empty rectangles when either size is not positive.
struct Placement {
    PixelRect source;
    PixelRect target;
    friend bool operator==(const Placement&, const Placement&) = default;
};
Placement placePicture(FitMode mode, int pictureWidth, int pictureHeight, int monitorWidth, int monitorHeight);

struct Picture;

// A picture as a monitor of monitorWidth x monitorHeight shows it: the colour
// of any monitor pixel, scaled bilinearly (Stretch, Fill, Fit) or pixel for
// pixel (Center, Tile), the background outside the picture. Keeps a
// reference to the picture.
class PlacedPicture {
public:
    PlacedPicture(const Picture& picture, FitMode mode, Colour background, int monitorWidth, int monitorHeight);
    void pixel(int x, int y, std::uint8_t rgb[3]) const;

private:
    const Picture& m_picture;
    FitMode m_mode;
    Colour m_background;
    Placement m_placement;
};

} // namespace plimbury
