#include "imaging/Placement.h"

#include "imaging/Picture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace plimbury {

namespace {

constexpr std::array<std::pair<FitMode, const char*>, 5> kFitWords{{
    {FitMode::Stretch, "stretch"},
    {FitMode::Fill, "fill"},
    {FitMode::Fit, "fit"},
    {FitMode::Center, "center"},
    {FitMode::Tile, "tile"},
}};

// a * b / c rounded to the nearest whole number, kept within [1, limit].
int scaled(int a, int b, int c, int limit)
{
    const std::int64_t value = (static_cast<std::int64_t>(a) * b + c / 2) / c;
    return static_cast<int>(std::clamp<std::int64_t>(value, 1, limit));
}

// One axis of Center: the picture's own length in the middle, cropped evenly
// where it is longer than the monitor.
void centreAxis(int picture, int monitor, int& sourceStart, int& sourceLength, int& targetStart, int& targetLength)
{
    if (picture <= monitor) {
        sourceStart = 0;
        targetStart = (monitor - picture) / 2;
        sourceLength = targetLength = picture;
    } else {
        sourceStart = (picture - monitor) / 2;
        targetStart = 0;
        sourceLength = targetLength = monitor;
    }
}

} // namespace

const char* fitWord(FitMode mode)
{
    for (const auto& [m, word] : kFitWords) {
        if (m == mode)
            return word;
    }
    return "stretch";
}

std::optional<FitMode> fitModeOf(std::string_view word)
{
    for (const auto& [mode, w] : kFitWords) {
        if (word == w)
            return mode;
    }
    return std::nullopt;
}

std::string colourText(Colour colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

std::optional<Colour> colourOf(std::string_view text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::array<std::uint8_t, 3> parts{};
    for (std::size_t i = 0; i < 3; ++i) {
        int value = 0;
        for (char c : text.substr(1 + 2 * i, 2)) {
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return std::nullopt;
            value = value * 16 + digit;
        }
        parts[i] = static_cast<std::uint8_t>(value);
    }
    return Colour{parts[0], parts[1], parts[2]};
}

Placement placePicture(FitMode mode, int pictureWidth, int pictureHeight, int monitorWidth, int monitorHeight)
{
    const int w = pictureWidth, h = pictureHeight, mw = monitorWidth, mh = monitorHeight;
    if (w <= 0 || h <= 0 || mw <= 0 || mh <= 0)
        return {};
    const PixelRect wholePicture{0, 0, w, h};
    const PixelRect wholeMonitor{0, 0, mw, mh};
    // Compared without division: the picture is wider than the monitor.
    const bool wider = static_cast<std::int64_t>(w) * mh > static_cast<std::int64_t>(h) * mw;
    switch (mode) {
    case FitMode::Stretch:
        return {wholePicture, wholeMonitor};
    case FitMode::Fill: {
        if (wider) {
            const int sw = scaled(mw, h, mh, w);
            return {{(w - sw) / 2, 0, sw, h}, wholeMonitor};
        }
        const int sh = scaled(mh, w, mw, h);
        return {{0, (h - sh) / 2, w, sh}, wholeMonitor};
    }
    case FitMode::Fit: {
        if (wider) {
            const int th = scaled(h, mw, w, mh);
            return {wholePicture, {0, (mh - th) / 2, mw, th}};
        }
        const int tw = scaled(w, mh, h, mw);
        return {wholePicture, {(mw - tw) / 2, 0, tw, mh}};
    }
    case FitMode::Center: {
        Placement p;
        centreAxis(w, mw, p.source.x, p.source.width, p.target.x, p.target.width);
        centreAxis(h, mh, p.source.y, p.source.height, p.target.y, p.target.height);
        return p;
    }
    case FitMode::Tile:
        return {wholePicture, wholePicture};
    }
    return {wholePicture, wholeMonitor};
}

PlacedPicture::PlacedPicture(const Picture& picture, FitMode mode, Colour background, int monitorWidth,
                             int monitorHeight)
    : m_picture(picture)
    , m_mode(mode)
    , m_background(background)
    , m_placement(placePicture(mode, picture.width, picture.height, monitorWidth, monitorHeight))
{
}

void PlacedPicture::pixel(int x, int y, std::uint8_t rgb[3]) const
{
    const Picture& p = m_picture;
    const auto copy = [&](int px, int py) {
        const std::uint8_t* in = p.rgb.data() + (static_cast<std::size_t>(py) * p.width + px) * 3;
        rgb[0] = in[0];
        rgb[1] = in[1];
        rgb[2] = in[2];
    };
    const PixelRect& source = m_placement.source;
    const PixelRect& target = m_placement.target;
    if (target.width <= 0 || target.height <= 0) {
        rgb[0] = m_background.red;
        rgb[1] = m_background.green;
        rgb[2] = m_background.blue;
        return;
    }
    if (m_mode == FitMode::Tile) {
        copy(((x % p.width) + p.width) % p.width, ((y % p.height) + p.height) % p.height);
        return;
    }
    if (x < target.x || y < target.y || x >= target.x + target.width || y >= target.y + target.height) {
        rgb[0] = m_background.red;
        rgb[1] = m_background.green;
        rgb[2] = m_background.blue;
        return;
    }
    if (m_mode == FitMode::Center) {
        copy(source.x + x - target.x, source.y + y - target.y);
        return;
    }
    // Bilinear sampling at the target pixel's centre, within the source part.
    const double sx = source.x + (x - target.x + 0.5) * source.width / target.width - 0.5;
    const double sy = source.y + (y - target.y + 0.5) * source.height / target.height - 0.5;
    const int left = source.x, right = source.x + source.width - 1;
    const int top = source.y, bottom = source.y + source.height - 1;
    const int x0 = std::clamp(static_cast<int>(sx >= 0 ? sx : sx - 1), left, right);
    const int y0 = std::clamp(static_cast<int>(sy >= 0 ? sy : sy - 1), top, bottom);
    const int x1 = std::min(x0 + 1, right);
    const int y1 = std::min(y0 + 1, bottom);
    const double fx = std::clamp(sx - x0, 0.0, 1.0);
    const double fy = std::clamp(sy - y0, 0.0, 1.0);
    const auto at = [&](int px, int py, int c) {
        return static_cast<double>(p.rgb[(static_cast<std::size_t>(py) * p.width + px) * 3 + c]);
    };
    for (int c = 0; c < 3; ++c) {
        const double upper = at(x0, y0, c) * (1 - fx) + at(x1, y0, c) * fx;
        const double lower = at(x0, y1, c) * (1 - fx) + at(x1, y1, c) * fx;
        rgb[c] = static_cast<std::uint8_t>(std::clamp(upper * (1 - fy) + lower * fy + 0.5, 0.0, 255.0));
    }
}

} // namespace plimbury
