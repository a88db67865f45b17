#include "imaging/Placement.h"

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

} // namespace plimbury
