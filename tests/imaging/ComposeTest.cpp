// One picture over several monitors: where each monitor's picture lands on the
// canvas in each fit mode, and the background around them.

#include "imaging/BmpWriter.h"
#include "imaging/Compose.h"
#include "imaging/Picture.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace plimbury {
namespace {

using test::errorOf;
using test::kNoError;

constexpr Colour kBlue{0, 0, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kWhite{255, 255, 255};
constexpr Colour kBack{0x20, 0x40, 0x60};

// Vertical stripes: blue, red, green, the red one twice as wide.
Picture stripes(int width, int height)
{
    Picture p{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Colour c = x < width / 4 ? kBlue : x < width * 3 / 4 ? kRed : kGreen;
            std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            px[0] = c.red;
            px[1] = c.green;
            px[2] = c.blue;
        }
    return p;
}

void writeBitmap(const std::string& path, const Picture& picture)
{
    BmpWriter writer(path);
    writer.start(picture.width, picture.height);
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* row = &picture.rgb[static_cast<std::size_t>(y) * picture.width * 3];
        writer.putRows(&row, 1);
    }
    writer.finish();
}

struct Probe {
    int x, y;
    Colour colour;
};

// The pictures the rows name.
struct Pictures {
    test::TempDir dir;
    std::map<std::string, std::string> paths;
    Pictures()
    {
        const std::map<std::string, Picture> made{
            {"wide", stripes(40, 20)},     // blue 0-9, red 10-29, green 30-39
            {"big", stripes(200, 60)},     // blue 0-49, red 50-149, green 150-199
            {"white", Picture{2, 2, std::vector<std::uint8_t>(12, 255)}},
        };
        for (const auto& [name, picture] : made) {
            paths[name] = dir.file(name + ".bmp");
            writeBitmap(paths[name], picture);
        }
    }
};

Colour at(const Picture& p, int x, int y)
{
    const std::uint8_t* px = &p.rgb[(static_cast<std::size_t>(y) * p.width + x) * 3];
    return {px[0], px[1], px[2]};
}

TEST(Compose, EachMonitorShowsItsPicturePlacedAndTheBackgroundAround)
{
    struct Case {
        const char* name;
        int width, height;
        FitMode fit;
        std::vector<PixelRect> monitors;
        std::vector<std::string> pictures;
        std::vector<Probe> probes;
    };
    const PixelRect square{0, 0, 100, 100}, wideRight{100, 0, 200, 100};
    const Case cases[] = {
        {"stretch: a square and a wide monitor side by side", 300, 100, FitMode::Stretch, {square, wideRight},
         {"wide", "wide"},
         {{2, 50, kBlue}, {50, 50, kRed}, {97, 50, kGreen}, {105, 50, kBlue}, {200, 50, kRed}, {295, 50, kGreen}}},
        {"fill crops the sides on the square monitor only", 300, 100, FitMode::Fill, {square, wideRight},
         {"wide", "wide"}, {{2, 50, kRed}, {97, 50, kRed}, {105, 50, kBlue}, {295, 50, kGreen}}},
        {"fit bands the square monitor only", 300, 100, FitMode::Fit, {square, wideRight}, {"wide", "wide"},
         {{50, 10, kBack}, {50, 90, kBack}, {2, 50, kBlue}, {50, 50, kRed}, {105, 2, kBlue}, {295, 97, kGreen}}},
        {"center: own size in the middle of each", 300, 100, FitMode::Center, {square, wideRight}, {"wide", "wide"},
         {{31, 50, kBlue}, {50, 50, kRed}, {68, 50, kGreen}, {50, 30, kBack}, {10, 50, kBack},
          {181, 50, kBlue}, {200, 50, kRed}, {218, 50, kGreen}, {150, 50, kBack}}},
        // Columns 50-149 on the first, 24-174 on the second: one window of the
        // file serves both, to the pixel.
        {"center: a larger picture cropped evenly on monitors of two widths", 260, 100, FitMode::Center,
         {square, {100, 0, 151, 100}}, {"big", "big"},
         {{0, 50, kRed}, {99, 50, kRed}, {50, 19, kBack}, {50, 20, kRed}, {50, 80, kBack},
          {125, 50, kBlue}, {126, 50, kRed}, {225, 50, kRed}, {226, 50, kGreen}, {255, 50, kBack}}},
        {"tile repeats from each monitor's corner", 300, 100, FitMode::Tile, {square, wideRight}, {"wide", "wide"},
         {{5, 5, kBlue}, {45, 5, kBlue}, {55, 5, kRed}, {75, 25, kGreen}, {100, 0, kBlue}, {115, 0, kRed},
          {135, 0, kGreen}}},
        {"tile: a larger picture shows its top left corner", 100, 100, FitMode::Tile, {square}, {"big"},
         {{49, 5, kBlue}, {50, 5, kRed}, {99, 5, kRed}, {49, 65, kBlue}}},
        {"background between and below monitors of two heights", 300, 120, FitMode::Stretch,
         {square, {200, 20, 100, 100}}, {"wide", "wide"},
         {{150, 50, kBack}, {50, 110, kBack}, {250, 10, kBack}, {250, 110, kRed}, {205, 60, kBlue}}},
        {"monitors partly off the canvas keep their proportions", 150, 100, FitMode::Stretch,
         {{-50, 0, 100, 100}, {100, 0, 100, 100}}, {"wide", "wide"},
         {{0, 50, kRed}, {45, 50, kGreen}, {75, 50, kBack}, {102, 50, kBlue}, {149, 50, kRed}}},
        {"a list shorter than the monitors repeats", 300, 100, FitMode::Stretch,
         {square, {100, 0, 100, 100}, {200, 0, 100, 100}}, {"wide", "white"},
         {{50, 50, kRed}, {150, 50, kWhite}, {205, 50, kBlue}, {250, 50, kRed}}},
        {"where monitors overlap the smaller shows", 200, 100, FitMode::Stretch, {{50, 25, 50, 50}, {0, 0, 200, 100}},
         {"white", "wide"}, {{75, 50, kWhite}, {10, 50, kBlue}, {100, 50, kRed}}},
    };
    Pictures pictures;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> paths;
        for (const std::string& name : c.pictures)
            paths.push_back(pictures.paths.at(name));
        const std::string out = pictures.dir.file("composed.bmp");
        ASSERT_EQ(errorOf([&] { composePictures(c.width, c.height, c.monitors, paths, {c.fit, kBack}, out); }),
                  kNoError);
        const Picture composed = readBmpFile(out);
        ASSERT_EQ(composed.width, c.width);
        ASSERT_EQ(composed.height, c.height);
        for (const Probe& p : c.probes) {
            const Colour got = at(composed, p.x, p.y);
            EXPECT_EQ(colourText(got), colourText(p.colour)) << "at " << p.x << "," << p.y;
        }
    }
}

TEST(Compose, FailuresLeaveTheOldFile)
{
    Pictures pictures;
    const std::string out = pictures.dir.file("composed.bmp");
    test::writeFile(out, "old");
    const std::string gone = pictures.dir.file("gone.jpg");
    const std::vector<PixelRect> two{{0, 0, 10, 10}, {10, 0, 10, 10}};
    struct Case {
        const char* name;
        int width;
        std::vector<std::string> paths;
        std::string error;
    };
    for (const Case& c : std::vector<Case>{
             {"a missing picture", 20, {pictures.paths.at("wide"), gone},
              "Cannot open file \"" + gone + "\". No such file or directory"},
             {"no picture at all", 20, {}, "No picture for the monitors"},
             {"an empty screen", 0, {pictures.paths.at("wide")}, "The screen has no pixels"},
         }) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(errorOf([&] { composePictures(c.width, 10, two, c.paths, {}, out); }), c.error);
        EXPECT_EQ(test::readFile(out), "old");
    }
}

} // namespace
} // namespace plimbury
