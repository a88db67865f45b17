// Every picture format the program reads: the decoder chosen by content, its
// pixels against ImageMagick's decode of the same file (alpha composed over
// black, orientation applied), and what a file of no known format gets.
// The sample files are written by ImageMagick at test time; without its
// `convert` (under Wine, say) the pixel table is skipped.

#include "imaging/BmpWriter.h"
#include "imaging/Decoders.h"
#include "imaging/Decoding.h"
#include "imaging/Picture.h"
#include "imaging/PictureFormat.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace plimbury;
using namespace plimbury::test;

namespace {

bool haveImageMagick()
{
#ifdef _WIN32
    return false;
#else
    static const bool found = std::system("convert -version >/dev/null 2>&1") == 0;
    return found;
#endif
}

// Runs ImageMagick's convert with the arguments (a shell word list of our own).
void convert(const std::string& arguments)
{
    const std::string command = "convert " + arguments + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

// ImageMagick's reading of the first picture of a file, as we show it.
Picture referenceDecode(const TempDir& dir, const std::string& path)
{
    const std::string ppm = dir.file("reference.ppm");
    convert("'" + path + "[0]' -auto-orient -background black -alpha remove -alpha off -depth 8 '" + ppm + "'");
    const std::string bytes = readFile(ppm);
    Picture picture;
    int maxValue = 0;
    int consumed = 0;
    if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &picture.width, &picture.height, &maxValue, &consumed) != 3)
        return picture;
    picture.rgb.assign(bytes.begin() + consumed + 1, bytes.end());
    return picture;
}

// The largest difference of one channel of one pixel.
int largestDifference(const Picture& a, const Picture& b)
{
    int largest = 0;
    for (std::size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i)
        largest = std::max(largest, std::abs(int {a.rgb[i]} - int {b.rgb[i]}));
    return largest;
}

class PictureSink : public RowSink {
public:
    void start(int width, int height) override
    {
        picture.width = width;
        picture.height = height;
        picture.rgb.clear();
    }
    void putRows(const std::uint8_t* const* rows, int count) override
    {
        for (int i = 0; i < count; ++i)
            picture.rgb.insert(picture.rgb.end(), rows[i], rows[i] + picture.width * 3);
    }
    void finish() override { finished = true; }

    Picture picture;
    bool finished = false;
};

struct FormatCase {
    const char* what;
    const char* name;        // the sample's file name: its extension need not match
    const char* make;        // convert arguments that write it, $OUT standing for its path
    PictureFormat format;
    int tolerance;           // largest channel difference against ImageMagick
};

// A picture with detail in every channel and a varying alpha.
const char* const kOpaque = "-size 67x41 -seed 11 plasma:";
const char* const kAlpha = "-size 67x41 -seed 11 plasma: ( -size 67x41 gradient:white-black ) -alpha off "
                           "-compose copy_opacity -composite";

const FormatCase formatCases[] = {
    {"JPEG named .jfif", "photo.jfif", "$OPAQUE -quality 90 JPG:$OUT", PictureFormat::Jpeg, 0},
    {"JPEG named .JPE", "PHOTO.JPE", "$OPAQUE -quality 90 JPG:$OUT", PictureFormat::Jpeg, 0},
    {"PNG, RGB 8 bits", "rgb.png", "$OPAQUE PNG24:$OUT", PictureFormat::Png, 0},
    {"PNG, RGBA 8 bits", "rgba.png", "$ALPHA PNG32:$OUT", PictureFormat::Png, 1},
    // ImageMagick cuts 16 bits to 8 by truncating (v / 257); libpng rounds.
    {"PNG, RGB 16 bits", "rgb16.png", "$OPAQUE -depth 16 PNG48:$OUT", PictureFormat::Png, 1},
    {"PNG, RGBA 16 bits", "rgba16.png", "$ALPHA -depth 16 PNG64:$OUT", PictureFormat::Png, 2},
    {"PNG, grey", "grey.png", "$OPAQUE -colorspace Gray -depth 8 -define png:color-type=0 PNG:$OUT",
     PictureFormat::Png, 0},
    {"PNG, grey with alpha", "greya.png", "$ALPHA -colorspace Gray -depth 8 -define png:color-type=4 PNG:$OUT",
     PictureFormat::Png, 1},
    {"PNG, grey with a transparent shade", "greyt.png",
     "$OPAQUE -colorspace Gray -depth 8 -fill white -draw 'rectangle 10,10 30,20' -transparent white "
     "-define png:color-type=0 PNG:$OUT",
     PictureFormat::Png, 0},
    {"PNG, RGB with a transparent colour", "rgbt.png",
     "$OPAQUE -depth 8 -fill white -draw 'rectangle 10,10 30,20' -transparent white PNG24:$OUT", PictureFormat::Png, 0},
    {"PNG, 1-bit grey", "mono.png", "$OPAQUE -monochrome -define png:bit-depth=1 PNG:$OUT", PictureFormat::Png, 0},
    {"PNG, 2-bit grey", "grey2.png", "$OPAQUE -colorspace Gray -depth 2 -define png:bit-depth=2 -define png:color-type=0 PNG:$OUT",
     PictureFormat::Png, 0},
    {"PNG, palette", "palette.png", "$OPAQUE -colors 200 PNG8:$OUT", PictureFormat::Png, 0},
    {"PNG, 4-bit palette", "palette4.png", "$OPAQUE -colors 16 -define png:bit-depth=4 PNG8:$OUT", PictureFormat::Png, 0},
    {"PNG, palette with a transparent entry", "palettet.png", "$ALPHA -colors 64 PNG8:$OUT", PictureFormat::Png, 0},
    {"PNG, interlaced", "interlaced.png", "$ALPHA -interlace PNG PNG32:$OUT", PictureFormat::Png, 1},
    {"PNG, interlaced 2-bit palette", "interlaced2.png",
     "$OPAQUE -colors 4 -define png:bit-depth=2 -interlace PNG PNG8:$OUT", PictureFormat::Png, 0},
    {"PNG named .jpg", "not-a-jpeg.jpg", "$OPAQUE PNG24:$OUT", PictureFormat::Png, 0},
    {"WebP, lossy", "lossy.webp", "$OPAQUE -quality 80 WEBP:$OUT", PictureFormat::WebP, 2},
    {"WebP, lossy with alpha", "lossya.webp", "$ALPHA -quality 80 WEBP:$OUT", PictureFormat::WebP, 2},
    {"WebP, lossless", "lossless.webp", "$ALPHA -define webp:lossless=true WEBP:$OUT", PictureFormat::WebP, 1},
    // Over half a megabyte: the decoder gets the file in several pieces.
    {"WebP, lossless, large", "large.webp",
     "-size 600x400 -seed 5 plasma: +noise Gaussian -define webp:lossless=true WEBP:$OUT", PictureFormat::WebP, 0},
    // The EXIF chunk comes from a 1 x 1 JPEG's; ImageMagick writes it after the
    // image data, its orientation set to its own (none).
    {"WebP with EXIF", "exif.webp",
     "$OPAQUE -profile 'inline:data:image/jpeg;base64,"
     "/9j/4QAiRXhpZgAATU0AKgAAAAgAAQESAAMAAAABAAYAAAAAAAD/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERAT"
     "GCgaGBYWGDEjJR0oOjM9PDkzODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/wAALCAABAAEBAREA/8QAFAABAAAAAAAA"
     "AAAAAAAAAAAAAf/EABQQAQAAAAAAAAAAAAAAAAAAAAD/2gAIAQEAAD8AH//Z' -quality 80 WEBP:$OUT",
     PictureFormat::WebP, 2},
    {"WebP, animated: the first frame", "animated.webp",
     "-delay 10 ( $OPAQUE ) ( -size 67x41 xc:red ) -loop 0 WEBP:$OUT", PictureFormat::WebP, 2},
    {"GIF", "still.gif", "$OPAQUE GIF:$OUT", PictureFormat::Gif, 0},
    {"GIF, transparent", "transparent.gif", "$OPAQUE -fuzz 20% -transparent '#808080' GIF:$OUT",
     PictureFormat::Gif, 0},
    {"GIF, interlaced", "interlaced.gif", "$OPAQUE -interlace GIF GIF:$OUT", PictureFormat::Gif, 0},
    {"GIF, animated: the first frame", "animated.gif",
     "-delay 10 ( $OPAQUE ) ( -size 67x41 xc:red ) -loop 0 GIF:$OUT", PictureFormat::Gif, 0},
    {"TIFF, strips", "strips.tif", "$OPAQUE -depth 8 -compress lzw TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, tiles", "tiles.tiff", "$OPAQUE -depth 8 -define tiff:tile-geometry=16x16 TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, planes apart", "planar.tif", "$OPAQUE -depth 8 -interlace plane -compress zip TIFF:$OUT",
     PictureFormat::Tiff, 0},
    {"TIFF, 16 bits", "rgb16.tif", "$OPAQUE -depth 16 TIFF:$OUT", PictureFormat::Tiff, 1},
    // libtiff reduces to 8 bits before it premultiplies: one more rounding.
    {"TIFF, 16 bits with alpha", "rgba16.tif", "$ALPHA -depth 16 TIFF:$OUT", PictureFormat::Tiff, 2},
    {"TIFF, associated alpha", "premultiplied.tif", "$ALPHA -depth 8 -define tiff:alpha=associated TIFF:$OUT",
     PictureFormat::Tiff, 1},
    {"TIFF, grey", "grey.tif", "$OPAQUE -depth 8 -colorspace Gray TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, grey with alpha", "greya.tif", "$ALPHA -depth 8 -colorspace Gray TIFF:$OUT", PictureFormat::Tiff, 1},
    {"TIFF, palette", "palette.tif", "$OPAQUE -colors 200 -depth 8 -type Palette TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, CMYK", "cmyk.tif", "$OPAQUE -depth 8 -colorspace CMYK TIFF:$OUT", PictureFormat::Tiff, 1},
    {"TIFF, JPEG", "jpeg.tif", "$OPAQUE -depth 8 -compress jpeg -quality 90 TIFF:$OUT", PictureFormat::Tiff, 1},
    {"TIFF, two pages: the first", "pages.tif", "( $OPAQUE ) ( -size 67x41 xc:red ) -depth 8 TIFF:$OUT",
     PictureFormat::Tiff, 0},
    {"TIFF, turned right", "turned.tif", "$OPAQUE -depth 8 -orient right-top TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, mirrored", "mirrored.tif", "$OPAQUE -depth 8 -orient top-right TIFF:$OUT", PictureFormat::Tiff, 0},
    {"TIFF, tiles turned left", "turned-tiles.tif",
     "$OPAQUE -depth 8 -orient left-bottom -define tiff:tile-geometry=16x16 TIFF:$OUT", PictureFormat::Tiff, 0},
    // ImageMagick 6 asks libheif for YCbCr 4:2:0 and makes its own RGB of it
    // (chroma repeated, its own matrix), a dozen levels or so from libheif's
    // colours; it writes no alpha into these files. libheif stores a HEIC
    // whose height is no multiple of 64 as a grid of one tile, cropped.
    {"HEIC", "phone.heic", "$OPAQUE -quality 90 HEIC:$OUT", PictureFormat::Heif, 12},
    {"HEIC, one coded picture", "whole.heic", "-size 96x64 -seed 11 plasma: -quality 90 HEIC:$OUT",
     PictureFormat::Heif, 16},
    {"AVIF", "download.avif", "$OPAQUE -quality 90 AVIF:$OUT", PictureFormat::Heif, 12},
    {"AVIF with alpha", "alpha.avif", "$ALPHA -quality 90 AVIF:$OUT", PictureFormat::Heif, 12},
    {"BMP", "plain.bmp", "$OPAQUE BMP3:$OUT", PictureFormat::Bmp, 0},
};

std::string expand(std::string text, const std::string& out)
{
    const std::pair<std::string, std::string> words[] = {
        {"$OPAQUE", kOpaque}, {"$ALPHA", kAlpha}, {"$OUT", "'" + out + "'"}};
    for (const auto& [word, value] : words) {
        for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + value.size()))
            text.replace(at, word.size(), value);
    }
    // ImageMagick's parentheses, escaped for the shell.
    for (std::size_t at = text.find_first_of("()"); at != std::string::npos; at = text.find_first_of("()", at + 2))
        text.insert(at, "\\");
    return text;
}

class FormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, DecodesAsImageMagickDoes)
{
    if (!haveImageMagick())
        GTEST_SKIP() << "ImageMagick's convert is not at hand";
    const FormatCase& c = GetParam();
    if (!canDecode(c.format))
        GTEST_SKIP() << formatName(c.format) << " is not built in";
    TempDir dir;
    const std::string path = dir.file(c.name);
    convert(expand(c.make, path));
    ASSERT_EQ(pictureFormatOf(path), c.format);

    const Picture expected = referenceDecode(dir, path);
    ASSERT_GT(expected.width, 0);

    PictureSink sink;
    decodePicture(path, sink);
    EXPECT_TRUE(sink.finished);
    ASSERT_EQ(sink.picture.width, expected.width);
    ASSERT_EQ(sink.picture.height, expected.height);
    ASSERT_EQ(sink.picture.rgb.size(), expected.rgb.size());
    EXPECT_LE(largestDifference(sink.picture, expected), c.tolerance);

    // Converted, the bitmap holds the same pixels (BMP stores BGR, bottom up).
    const std::string bitmap = dir.file("lumavue.bmp");
    convertPictureToBmp(path, bitmap);
    const Picture converted = readBmpFile(bitmap);
    ASSERT_EQ(converted.width, expected.width);
    EXPECT_EQ(converted.rgb, sink.picture.rgb);
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatTable, ::testing::ValuesIn(formatCases),
                         [](const auto& row) {
                             std::string name;
                             for (const char ch : std::string(row.param.what))
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

struct SniffCase {
    const char* what;
    std::string head;
    PictureFormat format;
};

TEST(SniffFormat, KnowsEachSignatureAndNothingElse)
{
    using namespace std::string_literals;
    const SniffCase cases[] = {
        {"JPEG", "\xFF\xD8\xFF\xE0"s, PictureFormat::Jpeg},
        {"JPEG cut before its marker", "\xFF\xD8"s, PictureFormat::Unknown},
        {"PNG", "\x89PNG\r\n\x1A\n"s, PictureFormat::Png},
        {"PNG mangled by a text transfer", "\x89PNG\n\x1A\n"s, PictureFormat::Unknown},
        {"GIF 87a", "GIF87a"s, PictureFormat::Gif},
        {"GIF 89a", "GIF89a"s, PictureFormat::Gif},
        {"WebP", "RIFF\x10\0\0\0WEBPVP8 "s, PictureFormat::WebP},
        {"RIFF of a sound", "RIFF\x10\0\0\0WAVEfmt "s, PictureFormat::Unknown},
        {"TIFF, little-endian", "II*\0\x08\0\0\0"s, PictureFormat::Tiff},
        {"TIFF, big-endian", "MM\0*\0\0\0\x08"s, PictureFormat::Tiff},
        {"HEIC", "\0\0\0\x18" "ftypheic\0\0\0\0mif1heic"s, PictureFormat::Heif},
        {"AVIF", "\0\0\0\x1C" "ftypavif\0\0\0\0avifmif1miaf"s, PictureFormat::Heif},
        {"HEIF brand among the compatible ones", "\0\0\0\x18" "ftypXXXX\0\0\0\0abcdmif1"s, PictureFormat::Heif},
        {"MP4 video", "\0\0\0\x18" "ftypisom\0\0\0\0isomiso2"s, PictureFormat::Unknown},
        {"brand beyond the box's own size", "\0\0\0\x10" "ftypisom\0\0\0\0heic"s, PictureFormat::Unknown},
        {"BMP", "BM\x36\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0"s, PictureFormat::Bmp},
        {"text starting with BM", "BMW drivers club\n"s, PictureFormat::Unknown},
        {"empty", ""s, PictureFormat::Unknown},
        {"text", "[counttime]\r\n"s, PictureFormat::Unknown},
    };
    for (const SniffCase& c : cases) {
        EXPECT_EQ(sniffFormat(reinterpret_cast<const std::uint8_t*>(c.head.data()), c.head.size()), c.format)
            << c.what;
    }
}

TEST(DecodePicture, RefusesWhatNoDecoderReadsWithOneText)
{
    TempDir dir;
    const std::string text = dir.file("notes.png");
    writeFile(text, "shopping: bread, milk\n");
    const std::string empty = dir.file("empty.jpg");
    writeFile(empty, "");
    const std::string bitmap = dir.file("lumavue.bmp");
    writeFile(bitmap, "old bitmap");
    for (const std::string& path : {text, empty}) {
        EXPECT_EQ(errorOf([&] { convertPictureToBmp(path, bitmap); }), path + " is not a picture this program can read");
        EXPECT_EQ(errorOf([&] { loadPicture(path, 10, 10); }), path + " is not a picture this program can read");
    }
    EXPECT_EQ(readFile(bitmap), "old bitmap");
    const std::string missing = dir.file("gone.webp");
    EXPECT_EQ(errorOf([&] { convertPictureToBmp(missing, bitmap); }).rfind("Cannot open file \"" + missing + "\". ", 0), 0u);
}

TEST(LoadPicture, ShrinksByPowersOfTwoWhileItStillCovers)
{
    if (!haveImageMagick() || !canDecode(PictureFormat::Png))
        GTEST_SKIP() << "needs ImageMagick and PNG";
    TempDir dir;
    // Blue-ish above, brown below: a picture read upside down shows it.
    for (const char* format : {"PNG24", "BMP3"}) {
        const std::string path = dir.file(std::string("big.") + format);
        convert("-size 400x150 xc:'#336699' -size 400x150 xc:'#996633' -append " + std::string(format) + ":'" +
                path + "'");
        struct {
            int minWidth, minHeight, width, height;
        } const cases[] = {
            {0, 0, 400, 300}, {200, 150, 200, 150}, {199, 0, 200, 150}, {90, 10, 100, 75}, {401, 0, 400, 300},
        };
        for (const auto& c : cases) {
            const Picture p = loadPicture(path, c.minWidth, c.minHeight);
            EXPECT_EQ(p.width, c.width) << format << " " << c.minWidth << "x" << c.minHeight;
            EXPECT_EQ(p.height, c.height) << format << " " << c.minWidth << "x" << c.minHeight;
            ASSERT_EQ(p.rgb.size(), static_cast<std::size_t>(p.width * p.height * 3));
            EXPECT_EQ(p.rgb[0], 0x33) << format;
            EXPECT_EQ(p.rgb[p.rgb.size() - 1], 0x33) << format;
            EXPECT_EQ(p.rgb[p.rgb.size() - 3], 0x99) << format;
        }
    }
}

// A 3 x 2 picture whose pixels name their stored place: (x, y) -> {x, y, 0}.
TEST(OrientingSink, PlacesEveryPixelAsEachOrientationSays)
{
    struct {
        int orientation;
        int width, height;
        std::vector<int> storedPlaces;   // x, y of the stored pixel shown at each place, row by row
    } const cases[] = {
        {1, 3, 2, {0, 0, 1, 0, 2, 0, 0, 1, 1, 1, 2, 1}},
        {2, 3, 2, {2, 0, 1, 0, 0, 0, 2, 1, 1, 1, 0, 1}},
        {3, 3, 2, {2, 1, 1, 1, 0, 1, 2, 0, 1, 0, 0, 0}},
        {4, 3, 2, {0, 1, 1, 1, 2, 1, 0, 0, 1, 0, 2, 0}},
        {5, 2, 3, {0, 0, 0, 1, 1, 0, 1, 1, 2, 0, 2, 1}},
        {6, 2, 3, {0, 1, 0, 0, 1, 1, 1, 0, 2, 1, 2, 0}},
        {7, 2, 3, {2, 1, 2, 0, 1, 1, 1, 0, 0, 1, 0, 0}},
        {8, 2, 3, {2, 0, 2, 1, 1, 0, 1, 1, 0, 0, 0, 1}},
        {0, 3, 2, {0, 0, 1, 0, 2, 0, 0, 1, 1, 1, 2, 1}},
    };
    for (const auto& c : cases) {
        PictureSink target;
        OrientingSink sink(target, c.orientation);
        sink.start(3, 2);
        for (std::uint8_t y = 0; y < 2; ++y) {
            const std::uint8_t row[] = {0, y, 0, 1, y, 0, 2, y, 0};
            const std::uint8_t* rows[] = {row};
            sink.putRows(rows, 1);
        }
        sink.finish();
        EXPECT_TRUE(target.finished);
        EXPECT_EQ(target.picture.width, c.width) << c.orientation;
        EXPECT_EQ(target.picture.height, c.height) << c.orientation;
        std::vector<int> places;
        for (std::size_t i = 0; i < target.picture.rgb.size(); i += 3) {
            places.push_back(target.picture.rgb[i]);
            places.push_back(target.picture.rgb[i + 1]);
        }
        EXPECT_EQ(places, c.storedPlaces) << "orientation " << c.orientation;
    }
}

} // namespace
