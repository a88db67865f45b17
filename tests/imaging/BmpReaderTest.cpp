// Reading bitmaps (valid and damaged ones, made here byte by byte) and
// choosing the decoder by extension.

#include "JpegSamples.h"

#include "imaging/Picture.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

using namespace plimbury;
using namespace plimbury::test;

namespace {

struct BmpSpec {
    int bits = 24;
    int width = 5;              // odd: every depth needs row padding
    int height = 3;
    bool topDown = false;
    int infoSize = 40;
    bool bitfields = false;
    std::uint32_t colorsUsed = 0;
};

struct Sample {
    std::string bytes;
    Picture expected;
};

void put(std::string& s, std::size_t offset, std::uint32_t value, int size)
{
    char bytes[4];
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(value >> (8 * i));
    s.replace(offset, static_cast<std::size_t>(size), bytes, static_cast<std::size_t>(size));
}

Sample makeBmp(const BmpSpec& form)
{
    const bool paletted = form.bits <= 8;
    const std::uint32_t colours = paletted ? (form.colorsUsed ? form.colorsUsed : 1u << form.bits) : 0;
    const auto paletteColour = [](std::uint32_t i) {
        return std::array<std::uint8_t, 3> {static_cast<std::uint8_t>(i * 71), static_cast<std::uint8_t>(i * 29 + 5),
                                            static_cast<std::uint8_t>(i * 113 + 9)};
    };
    const Picture source = pattern(form.width, form.height);
    const std::size_t masks = form.bitfields && form.infoSize == 40 ? 12 : 0;
    const std::size_t pixelOffset = 14 + static_cast<std::size_t>(form.infoSize) + masks + 4 * colours;
    const std::size_t stride = (static_cast<std::size_t>(form.width) * static_cast<std::size_t>(form.bits) + 31) / 32 * 4;
    std::string s(pixelOffset + stride * static_cast<std::size_t>(form.height), '\0');
    s[0] = 'B';
    s[1] = 'M';
    put(s, 2, static_cast<std::uint32_t>(s.size()), 4);
    put(s, 10, static_cast<std::uint32_t>(pixelOffset), 4);
    put(s, 14, static_cast<std::uint32_t>(form.infoSize), 4);
    put(s, 18, static_cast<std::uint32_t>(form.width), 4);
    put(s, 22, static_cast<std::uint32_t>(form.topDown ? -form.height : form.height), 4);
    put(s, 26, 1, 2);
    put(s, 28, static_cast<std::uint32_t>(form.bits), 2);
    put(s, 30, form.bitfields ? 3 : 0, 4);
    put(s, 46, form.colorsUsed, 4);
    if (form.bitfields) {
        put(s, 54, 0x00FF0000, 4);
        put(s, 58, 0x0000FF00, 4);
        put(s, 62, 0x000000FF, 4);
    }
    for (std::uint32_t i = 0; i < colours; ++i) {
        const auto c = paletteColour(i);
        const std::size_t at = 14 + static_cast<std::size_t>(form.infoSize) + masks + 4 * i;
        s[at] = static_cast<char>(c[2]);
        s[at + 1] = static_cast<char>(c[1]);
        s[at + 2] = static_cast<char>(c[0]);
    }
    Picture expected {form.width, form.height, {}};
    for (int y = 0; y < form.height; ++y) {
        const std::size_t row = pixelOffset + stride * static_cast<std::size_t>(form.topDown ? y : form.height - 1 - y);
        for (int x = 0; x < form.width; ++x) {
            const std::size_t xs = static_cast<std::size_t>(x);
            if (paletted) {
                const std::uint32_t index = static_cast<std::uint32_t>(x * 3 + y * 5 + x * y) % colours;
                const std::size_t bit = xs * static_cast<std::size_t>(form.bits);
                s[row + bit / 8] = static_cast<char>(s[row + bit / 8] | (index << (8 - form.bits - bit % 8)));
                const auto c = paletteColour(index);
                expected.rgb.insert(expected.rgb.end(), c.begin(), c.end());
            } else {
                const std::uint8_t* px = &source.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(form.width) + xs) * 3];
                const std::size_t at = row + xs * static_cast<std::size_t>(form.bits / 8);
                s[at] = static_cast<char>(px[2]);
                s[at + 1] = static_cast<char>(px[1]);
                s[at + 2] = static_cast<char>(px[0]);
                if (form.bits == 32)
                    s[at + 3] = static_cast<char>(0x80);   // alpha, or nothing: not shown
                expected.rgb.insert(expected.rgb.end(), px, px + 3);
            }
        }
    }
    return {s, expected};
}

TEST(ReadBmpFile, ReadsEveryUncompressedKind)
{
    const struct {
        const char* name;
        BmpSpec form;
    } cases[] = {
        {"24_bottom_up", {}},
        {"24_top_down", {.topDown = true}},
        {"24_one_pixel", {.width = 1, .height = 1}},
        {"32", {.bits = 32}},
        {"32_bitfields", {.bits = 32, .bitfields = true}},
        {"32_bitfields_v4_header", {.bits = 32, .infoSize = 108, .bitfields = true}},
        {"24_v5_header", {.infoSize = 124}},
        {"8_full_palette", {.bits = 8}},
        {"8_short_palette_top_down", {.bits = 8, .topDown = true, .colorsUsed = 7}},
        {"4", {.bits = 4, .width = 7}},
        {"4_short_palette", {.bits = 4, .colorsUsed = 3}},
        {"1", {.bits = 1, .width = 37, .height = 2}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const Sample sample = makeBmp(c.form);
        writeFile(dir.file("in.bmp"), sample.bytes);
        Picture read;
        EXPECT_NO_THROW(read = readBmpFile(dir.file("in.bmp"))) << c.name;
        EXPECT_TRUE(samePicture(sample.expected, read)) << c.name;
    }
}

TEST(ReadBmpFile, RefusesWhatItCannotReadAsInvalid)
{
    const std::string good = makeBmp({}).bytes;
    const auto with = [](std::string s, std::size_t offset, std::uint32_t value, int size) {
        put(s, offset, value, size);
        return s;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"file_header_only", good.substr(0, 14)},
        {"headers_only", good.substr(0, 54)},
        {"last_byte_missing", good.substr(0, good.size() - 1)},
        {"not_bm", with(good, 0, 'X', 1)},
        {"core_header", with(good, 14, 12, 4)},
        {"two_planes", with(good, 26, 2, 2)},
        {"16_bits", with(good, 28, 16, 2)},
        {"rle8", with(makeBmp({.bits = 8}).bytes, 30, 1, 4)},
        {"width_zero", with(good, 18, 0, 4)},
        {"width_negative", with(good, 18, 0xFFFFFFFB, 4)},
        {"height_zero", with(good, 22, 0, 4)},
        {"height_most_negative", with(good, 22, 0x80000000, 4)},
        {"huge", with(with(good, 18, 100000, 4), 22, 100000, 4)},
        {"pixels_beyond_the_end", with(good, 10, static_cast<std::uint32_t>(good.size()), 4)},
        {"pixels_inside_the_header", with(good, 10, 20, 4)},
        {"index_outside_the_palette", with(makeBmp({.bits = 4}).bytes, 46, 1, 4)},
        {"palette_larger_than_the_depth", with(makeBmp({.bits = 1}).bytes, 46, 3, 4)},
        {"bitfields_other_than_bgr", with(makeBmp({.bits = 32, .bitfields = true}).bytes, 54, 0x000000FF, 4)},
        {"bitfields_with_24_bits", with(good, 30, 3, 4)},
    };
    TempDir dir;
    for (const auto& c : cases) {
        writeFile(dir.file("in.bmp"), c.bytes);
        EXPECT_EQ(errorOf([&] { readBmpFile(dir.file("in.bmp")); }), "Bitmap image is not valid") << c.name;
    }
}

TEST(LoadPicture, ChoosesTheDecoderByContentWhateverTheName)
{
    TempDir dir;
    const std::string jpeg = encodeJpeg(pattern(9, 5));
    const Sample bmp = makeBmp({});
    const std::string text = "not a picture\n";
    const auto unreadable = [&](const char* name) {
        return dir.file(name) + " is not a picture this program can read";
    };
    const struct {
        const char* name;
        const std::string* content;
        std::string result;   // "jpeg", "bmp" or the error text
    } cases[] = {
        {"a.jpg", &jpeg, "jpeg"},
        {"b.JPEG", &jpeg, "jpeg"},
        {"i.jpe", &jpeg, "jpeg"},
        {"j.jfif", &jpeg, "jpeg"},
        {"no_extension", &jpeg, "jpeg"},
        {"dotted.folder/name", &jpeg, "jpeg"},
        {"d.bmp", &bmp.bytes, "bmp"},
        {"e.BMP", &bmp.bytes, "bmp"},
        {"bitmap_named.jpg", &bmp.bytes, "bmp"},
        {"f.png", &text, unreadable("f.png")},
        {"h.jpg", &text, unreadable("h.jpg")},
    };
    std::filesystem::create_directory(dir.path() / "dotted.folder");
    for (const auto& c : cases) {
        writeFile(dir.file(c.name), *c.content);
        std::string result;
        try {
            const Picture p = loadPicture(dir.file(c.name));
            result = samePicture(referenceDecode(jpeg), p) ? "jpeg" : samePicture(bmp.expected, p) ? "bmp" : "other";
        } catch (const Error& e) {
            result = e.what();
        }
        EXPECT_EQ(result, c.result) << c.name;
    }
    const std::string missing = dir.file("gone.bmp");
    EXPECT_EQ(errorOf([&] { loadPicture(missing); }),
              "Cannot open file \"" + missing + "\". " + systemErrorText(ENOENT));
}

} // namespace
