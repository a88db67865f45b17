// The 8-bit bitmap for displays of 256 colours or fewer: its format, and that
// error diffusion keeps every area's colour while each pixel takes one of the
// palette's.

#include "JpegSamples.h"

#include "imaging/BmpWriter.h"
#include "imaging/Jpeg.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace plimbury;
using namespace plimbury::test;

namespace {

std::uint32_t u32At(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}

Picture gradient(int width, int height)
{
    Picture p {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    std::uint8_t* px = p.rgb.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, px += 3) {
            px[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
            px[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
            px[2] = static_cast<std::uint8_t>(255 - (x + y) * 255 / (width + height - 2));
        }
    }
    return p;
}

// The largest difference, over the picture's 8 x 8 blocks and channels, of
// the blocks' mean values.
double worstBlockMeanDifference(const Picture& a, const Picture& b)
{
    double worst = 0;
    for (int by = 0; by + 8 <= a.height; by += 8) {
        for (int bx = 0; bx + 8 <= a.width; bx += 8) {
            for (int c = 0; c < 3; ++c) {
                long difference = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(a.width) + static_cast<std::size_t>(x)) * 3 + static_cast<std::size_t>(c);
                        difference += static_cast<long>(a.rgb[at]) - static_cast<long>(b.rgb[at]);
                    }
                worst = std::max(worst, std::abs(static_cast<double>(difference)) / 64);
            }
        }
    }
    return worst;
}

bool onThePalette(const Picture& p)
{
    const auto onLevel = [](int value, int levels) {
        const int level = (value * (levels - 1) + 127) / 255;
        return value == (level * 255 + (levels - 1) / 2) / (levels - 1);
    };
    for (std::size_t i = 0; i < p.rgb.size(); i += 3) {
        if (!onLevel(p.rgb[i], 6) || !onLevel(p.rgb[i + 1], 7) || !onLevel(p.rgb[i + 2], 6))
            return false;
    }
    return true;
}

struct PaletteCase {
    const char* name;
    Picture picture;
    JpegOptions options;
    friend void PrintTo(const PaletteCase& c, std::ostream* os) { *os << c.name; }
};

TEST(PaletteBitmap, KeepsEveryAreasColourWithPaletteColoursOnly)
{
    const PaletteCase cases[] = {
        {"gradient, rows padded", gradient(333, 101), {}},
        {"sharp pattern", pattern(64, 48), {.lumaH = 1, .lumaV = 1}},
        {"grey", gradient(120, 40), {.grayscale = true}},
        {"on its side", gradient(90, 70), {.orientation = 6}},
        {"upside down", gradient(90, 70), {.orientation = 3}},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir dir;
        const std::string jpeg = encodeJpeg(c.picture, c.options);
        writeFile(dir.file("in.jpg"), jpeg);
        writeFile(dir.file("lumavue.bmp"), "old picture");

        convertJpegToBmp(dir.file("in.jpg"), dir.file("lumavue.bmp"), BmpColours::Palette);

        const Picture expected = oriented(referenceDecode(jpeg), c.options.orientation ? c.options.orientation : 1);
        const std::string bytes = readFile(dir.file("lumavue.bmp"));
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes[28], 8) << "bits per pixel";
        EXPECT_EQ(u32At(bytes, 46), 252u) << "colours used";
        EXPECT_EQ(u32At(bytes, 10), 54u + 4 * 252) << "pixels after the palette";
        const std::size_t stride = (static_cast<std::size_t>(expected.width) + 3) & ~std::size_t {3};
        EXPECT_EQ(bytes.size(), 54 + 4 * 252 + stride * static_cast<std::size_t>(expected.height));

        const Picture written = readBmpFile(dir.file("lumavue.bmp"));
        ASSERT_EQ(written.width, expected.width);
        ASSERT_EQ(written.height, expected.height);
        EXPECT_TRUE(onThePalette(written));
        // The palette's steps are 51 and 42 apart; diffusion brings each
        // block's mean close to the picture's.
        EXPECT_LE(worstBlockMeanDifference(written, expected), 8.0);
    }
}

// Colours of the palette are kept exactly; any other flat colour is made of
// palette colours that average out to it.
TEST(PaletteBitmap, FlatColours)
{
    const struct {
        std::uint8_t rgb[3];
        bool exact;
    } colours[] = {{{0, 0, 0}, true}, {{255, 255, 255}, true}, {{255, 85, 51}, true}, {{128, 128, 128}, false},
                   {{10, 200, 90}, false}};
    for (const auto& colour : colours) {
        SCOPED_TRACE(std::to_string(colour.rgb[0]) + "," + std::to_string(colour.rgb[1]) + "," + std::to_string(colour.rgb[2]));
        const TempDir dir;
        constexpr int w = 40;
        constexpr int h = 24;
        Picture flat {w, h, {}};
        for (int i = 0; i < w * h; ++i)
            flat.rgb.insert(flat.rgb.end(), colour.rgb, colour.rgb + 3);
        BmpWriter writer(dir.file("flat.bmp"), BmpColours::Palette);
        writer.start(w, h);
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* row = flat.rgb.data() + static_cast<std::size_t>(y) * w * 3;
            writer.putRows(&row, 1);
        }
        writer.finish();

        const Picture written = readBmpFile(dir.file("flat.bmp"));
        if (colour.exact) {
            EXPECT_EQ(written.rgb, flat.rgb);
        }
        EXPECT_LE(worstBlockMeanDifference(written, flat), 3.0);
    }
}

} // namespace
