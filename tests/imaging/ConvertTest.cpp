// JPEG to BMP conversion: pixels against libjpeg's own decode, the file's
// format, and what is left on disk when something fails.

#include "JpegSamples.h"

#include "imaging/BmpWriter.h"
#include "imaging/Jpeg.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <jerror.h>
#include <jpeglib.h>

using namespace plimbury;
using namespace plimbury::test;

namespace {

std::string jpegError(int code)
{
    return "JPEG error #" + std::to_string(code);
}

const std::vector<std::string> inputAndOldBitmap {"in.jpg", "lumavue.bmp"};

struct ConvertCase {
    const char* name;
    int width;
    int height;
    JpegOptions options;
    friend void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.name; }
};

const ConvertCase convertCases[] = {
    {"baseline_420_odd_width", 33, 17, {}},
    {"baseline_444", 31, 9, {.lumaH = 1, .lumaV = 1}},
    {"baseline_422", 18, 12, {.lumaH = 2, .lumaV = 1}},
    {"progressive", 45, 30, {.progressive = true}},
    {"grayscale", 17, 11, {.grayscale = true}},
    {"one_pixel", 1, 1, {}},
    {"rows_need_no_padding", 16, 16, {}},
    {"several_bands", 2001, 777, {}},
};

class ConvertJpeg : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertJpeg, WritesLibjpegsPixelsIntoABottomUpBitmap)
{
    const ConvertCase& c = GetParam();
    TempDir dir;
    const std::string jpeg = encodeJpeg(pattern(c.width, c.height), c.options);
    writeFile(dir.file("in.jpg"), jpeg);
    writeFile(dir.file("lumavue.bmp"), "old picture");

    convertJpegToBmp(dir.file("in.jpg"), dir.file("lumavue.bmp"));

    const std::string bmp = readFile(dir.file("lumavue.bmp"));
    EXPECT_TRUE(samePicture(referenceDecode(jpeg), parseWrittenBmp(bmp)));
    EXPECT_EQ(filesIn(dir.path()), inputAndOldBitmap);

    // The writer fed through the row-sink interface makes the same file.
    BmpWriter writer(dir.file("sink.bmp"));
    decodeJpegFile(dir.file("in.jpg"), writer);
    EXPECT_EQ(readFile(dir.file("sink.bmp")), bmp);
    // A small picture's buffers are no larger than the picture.
    EXPECT_LE(writer.bufferSize(), bmp.size());
}

INSTANTIATE_TEST_SUITE_P(Samples, ConvertJpeg, ::testing::ValuesIn(convertCases),
                         [](const auto& p) { return std::string(p.param.name); });

struct CmykCase {
    const char* name;
    bool ycck;
    bool adobe;   // Adobe's marker: the samples are stored inverted
    friend void PrintTo(const CmykCase& c, std::ostream* os) { *os << c.name; }
};

class ConvertCmyk : public ::testing::TestWithParam<CmykCase> {};

TEST_P(ConvertCmyk, InksBecomeRgb)
{
    const CmykCase& c = GetParam();
    const int w = 11, h = 6;
    std::vector<std::uint8_t> cmyk;
    const Picture base = pattern(w, h);
    for (std::size_t i = 0; i < base.rgb.size(); i += 3)
        cmyk.insert(cmyk.end(), {base.rgb[i], base.rgb[i + 1], base.rgb[i + 2], static_cast<std::uint8_t>(i * 7)});
    const std::string jpeg = encodeCmykJpeg(cmyk, w, h, c.ycck, c.adobe);
    const std::vector<std::uint8_t> inks = referenceDecodeCmyk(jpeg);
    Picture expected {w, h, {}};
    for (std::size_t i = 0; i < inks.size(); i += 4) {
        const auto light = [&](std::uint8_t v) { return c.adobe ? v : 255 - v; };
        for (int ch = 0; ch < 3; ++ch)
            expected.rgb.push_back(static_cast<std::uint8_t>(
                std::lround(light(inks[i + static_cast<std::size_t>(ch)]) * light(inks[i + 3]) / 255.0)));
    }
    TempDir dir;
    writeFile(dir.file("in.jpg"), jpeg);
    convertJpegToBmp(dir.file("in.jpg"), dir.file("out.bmp"));
    EXPECT_TRUE(samePicture(expected, parseWrittenBmp(readFile(dir.file("out.bmp")))));
}

INSTANTIATE_TEST_SUITE_P(Inks, ConvertCmyk,
                         ::testing::Values(CmykCase {"plain_cmyk", false, false}, CmykCase {"adobe_cmyk", false, true},
                                           CmykCase {"adobe_ycck", true, true}),
                         [](const auto& p) { return std::string(p.param.name); });

struct DamagedCase {
    const char* name;
    std::function<std::string(std::string)> damage;
    int code;
    bool stillLooksLikeAJpeg = true;   // else loading it finds no decoder at all
    friend void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }
};

std::string patched(std::string jpeg, std::size_t offset, std::string_view bytes)
{
    jpeg.replace(offset, bytes.size(), bytes);
    return jpeg;
}

std::size_t sofOffset(const std::string& jpeg)
{
    return jpeg.find("\xFF\xC0");
}

const DamagedCase damagedCases[] = {
    {"empty", [](std::string) { return std::string(); }, JERR_INPUT_EMPTY, false},
    {"not_a_jpeg", [](std::string) { return std::string("BM not a JPEG at all"); }, JERR_NO_SOI, false},
    {"truncated_in_the_scan", [](std::string j) { return j.substr(0, j.size() / 2); }, JWRN_JPEG_EOF},
    {"end_marker_missing", [](std::string j) { return j.substr(0, j.size() - 2); }, JWRN_JPEG_EOF},
    {"marker_inside_the_scan", [](std::string j) { return patched(j, j.size() / 2, "\xFF\xD9"); }, JWRN_HIT_MARKER},
    {"bad_sample_precision", [](std::string j) { return patched(j, sofOffset(j) + 4, "\x07"); }, JERR_BAD_PRECISION},
};

class DamagedJpeg : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedJpeg, FailsWithLibjpegsCodeAndKeepsTheOldBitmap)
{
    TempDir dir;
    writeFile(dir.file("in.jpg"), GetParam().damage(encodeJpeg(pattern(64, 48))));
    writeFile(dir.file("lumavue.bmp"), "old picture");

    EXPECT_EQ(errorOf([&] { convertJpegToBmp(dir.file("in.jpg"), dir.file("lumavue.bmp")); }),
              jpegError(GetParam().code));
    EXPECT_EQ(errorOf([&] { loadPicture(dir.file("in.jpg")); }),
              GetParam().stillLooksLikeAJpeg ? jpegError(GetParam().code)
                                             : dir.file("in.jpg") + " is not a picture this program can read");
    EXPECT_EQ(readFile(dir.file("lumavue.bmp")), "old picture");
    EXPECT_EQ(filesIn(dir.path()), inputAndOldBitmap);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedJpeg, ::testing::ValuesIn(damagedCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(ConvertJpegFiles, ReportsFilesThatCannotBeOpenedOrCreated)
{
    TempDir dir;
    writeFile(dir.file("in.jpg"), encodeJpeg(pattern(8, 8)));
    writeFile(dir.file("lumavue.bmp"), "old picture");
    const std::string missing = dir.file("gone.jpg");
    EXPECT_EQ(errorOf([&] { convertJpegToBmp(missing, dir.file("lumavue.bmp")); }),
              "Cannot open file \"" + missing + "\". " + systemErrorText(ENOENT));
#ifndef _WIN32
    // Windows refuses to open a folder with EACCES instead.
    EXPECT_EQ(errorOf([&] { convertJpegToBmp(dir.path().string(), dir.file("lumavue.bmp")); }),
              "Cannot open file \"" + dir.path().string() + "\". " + systemErrorText(EISDIR));
#endif
    const std::string nowhere = dir.file("no folder/lumavue.bmp");
    EXPECT_EQ(errorOf([&] { convertJpegToBmp(dir.file("in.jpg"), nowhere); }),
              "Cannot create file \"" + nowhere + "\". " + systemErrorText(ENOENT));
    EXPECT_EQ(readFile(dir.file("lumavue.bmp")), "old picture");
    EXPECT_EQ(filesIn(dir.path()), inputAndOldBitmap);
}

TEST(ConvertJpegFiles, RefusesPicturesBeyondTheBitmapsSizesBeforeWriting)
{
    TempDir dir;
    std::string jpeg = encodeJpeg(pattern(8, 8));
    // 65500 x 65500 x 3 bytes is far beyond 4 GiB; libjpeg reads such a header happily.
    writeFile(dir.file("in.jpg"), patched(jpeg, sofOffset(jpeg) + 5, "\xFF\xDC\xFF\xDC"));
    writeFile(dir.file("lumavue.bmp"), "old picture");
    EXPECT_EQ(errorOf([&] { convertJpegToBmp(dir.file("in.jpg"), dir.file("lumavue.bmp")); }),
              "The picture (65500 x 65500) is too large for a bitmap file");
    EXPECT_EQ(readFile(dir.file("lumavue.bmp")), "old picture");
    EXPECT_EQ(filesIn(dir.path()), inputAndOldBitmap);
    // Nor is such a picture decoded into memory at full size.
    EXPECT_EQ(errorOf([&] { loadPicture(dir.file("in.jpg")); }), jpegError(JERR_IMAGE_TOO_BIG));

    // The last size that fits: 54 + 196500 * 21857 bytes <= 2^32 - 1.
    EXPECT_EQ(BmpLayout::of(65500, 21857).fileSize, 4294900554u);
    EXPECT_THROW(BmpLayout::of(65500, 21858), Error);
}

#ifndef _WIN32
// The file-size limit that makes every write of the writer thread fail is POSIX's.
TEST(BmpWriterFailure, AWriteThatFailsOnTheWriterThreadKeepsTheOldFile)
{
    TempDir dir;
    const std::string target = dir.file("lumavue.bmp");
    writeFile(target, "old picture");
    const Picture picture = pattern(100, 50);
    std::vector<const std::uint8_t*> rows;
    for (int y = 0; y < picture.height; ++y)
        rows.push_back(&picture.rgb[static_cast<std::size_t>(y) * 300]);

    BmpWriter writer(target);
    writer.setBuffers(1, 2);    // a row a band: many writes, all beyond the limit below
    writer.start(picture.width, picture.height);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit low = saved;
    low.rlim_cur = 1000;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &low);
    const std::string error = errorOf([&] {
        writer.putRows(rows.data(), picture.height);
        writer.finish();
    });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(error, "Cannot create file \"" + target + "\". " + systemErrorText(EFBIG));
    EXPECT_EQ(readFile(target), "old picture");
}
#endif

} // namespace
