// Where a picture lands on a monitor in each fit mode, and the words and
// colours of the display settings.

#include "imaging/Placement.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace plimbury {

void PrintTo(const PixelRect& r, std::ostream* os)
{
    *os << "{" << r.x << "," << r.y << " " << r.width << "x" << r.height << "}";
}

namespace {

TEST(Placement, EachModeEachAspect)
{
    struct Case {
        const char* name;
        FitMode mode;
        int w, h, mw, mh;
        PixelRect source, target;
    };
    const Case cases[] = {
        {"stretch ignores the aspect", FitMode::Stretch, 400, 300, 1920, 1080, {0, 0, 400, 300}, {0, 0, 1920, 1080}},
        {"fill: wide picture cropped at the sides", FitMode::Fill, 4000, 1000, 1000, 1000,
         {1500, 0, 1000, 1000}, {0, 0, 1000, 1000}},
        {"fill: portrait cropped top and bottom, rounded", FitMode::Fill, 1000, 2000, 1920, 1080,
         {0, 718, 1000, 563}, {0, 0, 1920, 1080}},
        {"fill: same aspect shows all", FitMode::Fill, 960, 540, 1920, 1080, {0, 0, 960, 540}, {0, 0, 1920, 1080}},
        {"fit: wide picture letterboxed", FitMode::Fit, 4000, 1000, 1000, 1000, {0, 0, 4000, 1000},
         {0, 375, 1000, 250}},
        {"fit: portrait between side bands", FitMode::Fit, 1000, 2000, 1920, 1080, {0, 0, 1000, 2000},
         {690, 0, 540, 1080}},
        {"fit: a sliver keeps one pixel", FitMode::Fit, 10000, 1, 100, 100, {0, 0, 10000, 1}, {0, 49, 100, 1}},
        {"fit: same aspect fills", FitMode::Fit, 960, 540, 1920, 1080, {0, 0, 960, 540}, {0, 0, 1920, 1080}},
        {"center: small picture in the middle", FitMode::Center, 100, 50, 1000, 1000, {0, 0, 100, 50},
         {450, 475, 100, 50}},
        {"center: larger picture cropped evenly", FitMode::Center, 3000, 500, 1000, 1000, {1000, 0, 1000, 500},
         {0, 250, 1000, 500}},
        {"center: one pixel over", FitMode::Center, 101, 99, 100, 100, {0, 0, 100, 99}, {0, 0, 100, 99}},
        {"tile: first tile at the corner", FitMode::Tile, 100, 50, 1000, 1000, {0, 0, 100, 50}, {0, 0, 100, 50}},
        {"tile: larger than the monitor", FitMode::Tile, 3000, 500, 1000, 1000, {0, 0, 3000, 500},
         {0, 0, 3000, 500}},
        {"no picture", FitMode::Fill, 0, 10, 100, 100, {}, {}},
        {"no monitor", FitMode::Fit, 10, 10, 100, 0, {}, {}},
    };
    for (const Case& c : cases) {
        const Placement p = placePicture(c.mode, c.w, c.h, c.mw, c.mh);
        EXPECT_EQ(p.source, c.source) << c.name;
        EXPECT_EQ(p.target, c.target) << c.name;
    }
}

TEST(Placement, WordsAndColours)
{
    for (FitMode mode : {FitMode::Stretch, FitMode::Fill, FitMode::Fit, FitMode::Center, FitMode::Tile})
        EXPECT_EQ(fitModeOf(fitWord(mode)), mode) << fitWord(mode);
    EXPECT_EQ(fitModeOf("zoom"), std::nullopt);
    EXPECT_EQ(fitModeOf("Fill"), std::nullopt) << "the words are written in lower case";

    struct Case {
        const char* text;
        std::optional<Colour> colour;
    };
    const Case cases[] = {
        {"#000000", Colour{0, 0, 0}}, {"#1a2B3c", Colour{0x1a, 0x2b, 0x3c}}, {"#FFFFFF", Colour{255, 255, 255}},
        {"#fff", std::nullopt},        {"000000", std::nullopt},             {"#00000g", std::nullopt},
        {"#0000000", std::nullopt},    {"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(colourOf(c.text), c.colour) << c.text;
    EXPECT_EQ(colourText(Colour{0x1a, 0x2b, 0x3c}), "#1a2b3c");
}

} // namespace
} // namespace plimbury
