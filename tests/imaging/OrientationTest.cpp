// EXIF orientation and DCT scaling: what the decoders deliver against an
// independently turned and scaled reference.

#include "JpegSamples.h"

#include "imaging/Jpeg.h"
#include "imaging/Orientation.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace plimbury;
using namespace plimbury::test;

namespace {

class CollectingSink : public RowSink {
public:
    Picture picture;
    bool finished = false;
    void start(int width, int height) override
    {
        picture.width = width;
        picture.height = height;
    }
    void putRows(const std::uint8_t* const* rows, int count) override
    {
        for (int i = 0; i < count; ++i)
            picture.rgb.insert(picture.rgb.end(), rows[i], rows[i] + 3 * picture.width);
    }
    void finish() override { finished = true; }
};

int orientationOf(const std::string& payload)
{
    return exifOrientation(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
}

std::string withByte(std::string s, std::size_t offset, char value)
{
    s.at(offset) = value;
    return s;
}

TEST(ExifOrientation, ReadsTheTagAndSurvivesHostileData)
{
    const std::string le = exifPayload(6, false);
    const std::string be = exifPayload(8, true);
    // Offsets into the payload: TIFF header at 6, IFD0 at 14, orientation entry at 28.
    const struct {
        const char* name;
        std::string payload;
        int expected;
    } cases[] = {
        {"little_endian", le, 6},
        {"big_endian", be, 8},
        {"value_zero", exifPayload(0, false), 1},
        {"value_nine", exifPayload(9, true), 1},
        {"not_exif", withByte(le, 0, 'e'), 1},
        {"unknown_byte_order", withByte(le, 6, 'X'), 1},
        {"not_tiff", withByte(le, 8, 43), 1},
        {"tag_not_a_short", withByte(le, 30, 4), 1},
        {"ifd_beyond_the_end", withByte(le, 13, 0x7F), 1},
        {"ifd_at_the_last_byte", withByte(withByte(le, 10, static_cast<char>(le.size() - 7)), 11, 0), 1},
        {"entry_count_beyond_the_end", withByte(withByte(le, 14, static_cast<char>(0xFF)), 15, static_cast<char>(0xFF)), 6},
        {"entry_cut_off", le.substr(0, 38), 1},
        {"tiff_header_only", le.substr(0, 14), 1},
        {"signature_only", le.substr(0, 6), 1},
        {"empty", std::string(), 1},
    };
    for (const auto& c : cases) {
        // A copy of exactly the payload's size, so a read past it is a fault the sanitizers catch.
        const std::vector<std::uint8_t> exact(c.payload.begin(), c.payload.end());
        EXPECT_EQ(exifOrientation(exact.data(), exact.size()), c.expected) << c.name;
    }
    EXPECT_EQ(orientationOf(le), 6);
}

class OrientedJpeg : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(OrientedJpeg, EveryDecoderTurnsThePictureAsTheTagSays)
{
    const auto [orientation, bigEndian] = GetParam();
    TempDir dir;
    const std::string path = dir.file("photo.jpg");
    // Odd sizes, 4:2:0: partial blocks at both edges.
    const std::string jpeg = encodeJpeg(pattern(13, 7), {.orientation = orientation, .bigEndianExif = bigEndian});
    writeFile(path, jpeg);
    const Picture stored = referenceDecode(jpeg);
    const Picture expected = oriented(stored, orientation);

    convertJpegToBmp(path, dir.file("out.bmp"));
    EXPECT_TRUE(samePicture(expected, parseWrittenBmp(readFile(dir.file("out.bmp"))))) << "convertJpegToBmp";
    EXPECT_TRUE(samePicture(expected, loadPicture(path))) << "loadPicture";
    CollectingSink sink;
    decodeJpegFile(path, sink);
    EXPECT_TRUE(sink.finished);
    EXPECT_TRUE(samePicture(expected, sink.picture)) << "decodeJpegFile";
    EXPECT_TRUE(samePicture(stored, decodeJpegPicture(path, {.applyExifOrientation = false}))) << "not applied";
}

INSTANTIATE_TEST_SUITE_P(AllTags, OrientedJpeg,
                         ::testing::Combine(::testing::Range(1, 9), ::testing::Bool()),
                         [](const auto& p) {
                             return "orientation" + std::to_string(std::get<0>(p.param))
                                 + (std::get<1>(p.param) ? "_big_endian" : "_little_endian");
                         });

TEST(OrientedJpeg, LargePicturesCrossBandAndStripBoundaries)
{
    TempDir dir;
    const Picture picture = pattern(4001, 1101);
    for (const int orientation : {3, 6}) {
        const std::string jpeg = encodeJpeg(picture, {.orientation = orientation});
        writeFile(dir.file("photo.jpg"), jpeg);
        const Picture expected = oriented(referenceDecode(jpeg), orientation);
        convertJpegToBmp(dir.file("photo.jpg"), dir.file("out.bmp"));
        EXPECT_TRUE(samePicture(expected, parseWrittenBmp(readFile(dir.file("out.bmp"))))) << orientation;
        EXPECT_TRUE(samePicture(expected, loadPicture(dir.file("photo.jpg")))) << orientation;
    }
}

struct ScaleCase {
    int width, height;          // as stored
    int orientation;
    int minWidth, minHeight;    // as shown
    int eighths;                // the scale that must be chosen
};

TEST(ScaledJpeg, ChoosesTheSmallestScaleThatCoversTheArea)
{
    const ScaleCase cases[] = {
        {1600, 1200, 1, 344, 258, 2},
        {1600, 1200, 1, 0, 0, 8},
        {1600, 1200, 1, 200, 150, 1},
        {1600, 1200, 1, 201, 150, 2},
        {1600, 1200, 1, 500, 300, 3},
        {1601, 1201, 1, 201, 151, 1},    // libjpeg rounds partial blocks up
        {1600, 1200, 1, 2000, 2000, 8},  // never enlarged
        {1600, 1200, 1, 344, 0, 2},
        {1200, 1600, 6, 344, 258, 2},    // the bounds apply to the turned picture
        {1200, 1600, 8, 500, 300, 3},
        {40, 30, 1, 344, 258, 8},
    };
    TempDir dir;
    for (const ScaleCase& c : cases) {
        const std::string jpeg = encodeJpeg(pattern(c.width, c.height), {.orientation = c.orientation});
        writeFile(dir.file("photo.jpg"), jpeg);
        const Picture expected = oriented(referenceDecode(jpeg, c.eighths), c.orientation);
        EXPECT_TRUE(samePicture(expected, loadPicture(dir.file("photo.jpg"), c.minWidth, c.minHeight)))
            << c.width << " x " << c.height << " for " << c.minWidth << " x " << c.minHeight;
    }
}

} // namespace
