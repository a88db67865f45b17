#include "rotation/ApplySteps.h"

#include "desktop/ScreenSaverSelection.h"
#include "desktop/Wallpaper.h"
#include "imaging/Jpeg.h"
#include "platform/Error.h"
#include "platform/Store.h"
#include "support/ErrorOf.h"
#include "support/FakeStore.h"
#include "support/JpegEncode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace plimbury {
namespace {

// Everything the fakes are asked to do, in order.
using Log = std::vector<std::string>;

// Every key a step opened is the desktop's, under the current user.
void expectOnlyTheDesktopKey(const test::FakeStore& store)
{
    for (const auto& [where, values] : store.keys)
        EXPECT_EQ(where, (std::pair<Root, std::string>{Root::CurrentUser, kDesktopKey}));
}

class FakeWallpaper final : public Wallpaper {
public:
    explicit FakeWallpaper(Log& log) : m_log(log) {}
    void setDesktopWallpaper(const std::string& path) override
    {
        m_log.push_back("wallpaper " + path);
        if (refuse)
            throw Error("The desktop refused the picture");
    }
    int colourDepth() override { return depth; }
    bool refuse = false;
    int depth = 24;

private:
    Log& m_log;
};

void writeJpeg(const std::string& path, int width, int height)
{
    Picture picture {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* pixel = &picture.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
            pixel[0] = static_cast<std::uint8_t>(x * 20);
            pixel[1] = static_cast<std::uint8_t>(y * 30);
            pixel[2] = 128;
        }
    }
    test::writeJpegFile(path, picture);
}

std::int32_t le32(const std::string& bytes, std::size_t offset)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
    return static_cast<std::int32_t>(v);
}

TEST(ApplySteps, BitmapBesideTheProgram)
{
#ifndef _WIN32
    EXPECT_EQ(wallpaperBitmapPath("/opt/plimbury"), "/opt/plimbury/lumavue.bmp");
    EXPECT_EQ(wallpaperBitmapPath("/"), "/lumavue.bmp");
#else
    // The folder's bytes stay as they are (UTF-8 with the program's manifest).
    EXPECT_EQ(wallpaperBitmapPath("C:\\Programme \xC3\xA9"), "C:\\Programme \xC3\xA9\\lumavue.bmp");
    EXPECT_EQ(wallpaperBitmapPath("C:\\"), "C:\\lumavue.bmp");
#endif
}

class WallpaperStep : public testing::Test {
protected:
    void SetUp() override
    {
        // A bitmap to use in place, made the way the program makes its own.
        writeJpeg(dir.file("source.jpg"), 6, 4);
        convertJpegToBmp(dir.file("source.jpg"), hills);
    }
    void TearDown() override { expectOnlyTheDesktopKey(store); }

    test::TempDir dir;
    Log log;
    test::FakeStore store{&log};
    FakeWallpaper wallpaper{log};
    std::string bitmap = wallpaperBitmapPath(dir.path().string());
    std::string hills = dir.file("hills.bmp");
};

TEST_F(WallpaperStep, TheContentDecidesWhatIsConvertedNotTheName)
{
    struct Case {
        const char* name;
        bool jpeg;            // else a copy of the bitmap
        bool converted;
    };
    const Case cases[] = {
        {"photo.jpe", true, true},
        {"photo.jfif", true, true},
        {"PHOTO.JPG", true, true},
        {"camera-raw-name", true, true},
        {"bitmap.bmp", false, false},
        {"bitmap named.jpg", false, false},
        {"bitmap without extension", false, false},
    };
    for (const Case& c : cases) {
        const std::string entry = dir.file(c.name);
        if (c.jpeg)
            writeJpeg(entry, 5, 3);
        else
            std::filesystem::copy_file(hills, entry, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::remove(bitmap);
        log.clear();
        applyWallpaper(entry, store, wallpaper, bitmap);
        EXPECT_EQ(log, (Log{"TileWallPaper=0", "WallPaperStyle=2", "wallpaper " + (c.converted ? bitmap : entry)}))
            << c.name;
        EXPECT_EQ(std::filesystem::exists(bitmap), c.converted) << c.name;
    }
}

TEST_F(WallpaperStep, WhatNoDecoderReadsIsReportedAndChangesNothing)
{
    test::writeFile(bitmap, "old picture");
    const std::pair<const char*, std::string> cases[] = {
        {"notes.gif", "GIF? no, a shopping list\n"},
        {"empty.bmp", ""},
        {"movie.avif", std::string("\0\0\0\x18" "ftypisom\0\0\0\0isomiso2", 24)},
    };
    for (const auto& [name, content] : cases) {
        const std::string entry = dir.file(name);
        test::writeFile(entry, content);
        log.clear();
        EXPECT_EQ(test::errorOf([&] { applyWallpaper(entry, store, wallpaper, bitmap); }),
                  entry + " is not a picture this program can read");
        EXPECT_TRUE(log.empty()) << name;
        EXPECT_EQ(test::readFile(bitmap), "old picture");
    }
}

// The values Windows reads for each fit.
TEST_F(WallpaperStep, EachFitStoresItsStyleValues)
{
    const std::string entry = dir.file("a.jpg");
    writeJpeg(entry, 4, 4);
    const std::pair<FitMode, Log> cases[] = {
        {FitMode::Stretch, {"TileWallPaper=0", "WallPaperStyle=2"}},
        {FitMode::Fill, {"TileWallPaper=0", "WallPaperStyle=10"}},
        {FitMode::Fit, {"TileWallPaper=0", "WallPaperStyle=6"}},
        {FitMode::Center, {"TileWallPaper=0", "WallPaperStyle=0"}},
        {FitMode::Tile, {"TileWallPaper=1", "WallPaperStyle=0"}},
    };
    for (const auto& [fit, style] : cases) {
        log.clear();
        applyWallpaper(entry, store, wallpaper, bitmap, fit);
        Log expected = style;
        expected.push_back("wallpaper " + bitmap);
        EXPECT_EQ(log, expected) << fitWord(fit);
    }
}

TEST_F(WallpaperStep, JpegIsConvertedThenStyledThenHandedOver)
{
    for (const std::string name : {"tall.jpg", "wide.JPEG", "odd.JpG"}) {
        const std::string entry = dir.file(name);
        const int width = name == "tall.jpg" ? 7 : 13;
        const int height = name == "tall.jpg" ? 11 : 5;
        writeJpeg(entry, width, height);
        log.clear();
        applyWallpaper(entry, store, wallpaper, bitmap);
        EXPECT_EQ(log, (Log{"TileWallPaper=0", "WallPaperStyle=2", "wallpaper " + bitmap}));
        const std::string bmp = test::readFile(bitmap);
        ASSERT_GE(bmp.size(), 54u);
        EXPECT_EQ(bmp.substr(0, 2), "BM");
        EXPECT_EQ(le32(bmp, 18), width) << name;
        EXPECT_EQ(std::abs(le32(bmp, 22)), height) << name;
    }
}

TEST_F(WallpaperStep, DisplaysOf256ColoursOrFewerGetAnEightBitPicture)
{
    const std::pair<int, int> depths[] = {{1, 8}, {4, 8}, {8, 8}, {15, 24}, {16, 24}, {24, 24}, {32, 24}};
    const std::string entry = dir.file("photo.jpg");
    writeJpeg(entry, 9, 6);
    for (const auto& [depth, bits] : depths) {
        wallpaper.depth = depth;
        applyWallpaper(entry, store, wallpaper, bitmap);
        const std::string bmp = test::readFile(bitmap);
        ASSERT_GE(bmp.size(), 54u);
        EXPECT_EQ(bmp[28], bits) << "display of " << depth << " bits";
    }
}

TEST_F(WallpaperStep, AJpegThatCannotBeReadChangesNothing)
{
    test::writeFile(bitmap, "old picture");
    const std::string missing = dir.file("gone.bmp");
    const std::string broken = dir.file("broken.jpg");
    test::writeFile(broken, "\xFF\xD8\xFF not really a picture");
    for (const std::string& entry : {missing, broken}) {
        log.clear();
        const std::string text = test::errorOf([&] { applyWallpaper(entry, store, wallpaper, bitmap); });
        const std::string expected = entry == missing ? "Cannot open file \"" + missing + "\". " : "JPEG error #";
        EXPECT_EQ(text.substr(0, expected.size()), expected) << text;
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(test::readFile(bitmap), "old picture");
    }
}

TEST_F(WallpaperStep, StyleFailuresAreReportedAfterTheHandOver)
{
    struct Case {
        bool cannotOpen;
        const char* refused;
        Log log;
        const char* error;
    };
    const Case cases[] = {
        {true, "", {"wallpaper " + hills}, "Failed to create key Desktop"},
        {false, "TileWallPaper", {"wallpaper " + hills}, "Failed to set data for 'TileWallPaper'"},
        {false, "WallPaperStyle", {"TileWallPaper=0", "wallpaper " + hills},
         "Failed to set data for 'WallPaperStyle'"},
    };
    for (const Case& c : cases) {
        log.clear();
        store.openable = !c.cannotOpen;
        store.refused = {c.refused};
        EXPECT_EQ(test::errorOf([&] { applyWallpaper(hills, store, wallpaper, bitmap); }), c.error);
        EXPECT_EQ(log, c.log) << c.error;
    }
}

TEST_F(WallpaperStep, ARefusingDesktopIsTheErrorReported)
{
    store.openable = false;
    wallpaper.refuse = true;
    EXPECT_EQ(test::errorOf([&] { applyWallpaper(hills, store, wallpaper, bitmap); }),
              "The desktop refused the picture");
}

TEST(ScreensaverStep, RecordsTheEntryUnchanged)
{
    Log log;
    test::FakeStore store(&log);
    applyScreensaver("C:\\Program Files\\Savers\\my stars.scr", store);
    EXPECT_EQ(log, Log{"SCRNSAVE.EXE=C:\\Program Files\\Savers\\my stars.scr"});

    store.refused = {"SCRNSAVE.EXE"};
    EXPECT_EQ(test::errorOf([&] { applyScreensaver("/s/a.scr", store); }), "Failed to set data for 'SCRNSAVE.EXE'");
    store.openable = false;
    EXPECT_EQ(test::errorOf([&] { applyScreensaver("/s/a.scr", store); }), "Failed to create key Desktop");
    expectOnlyTheDesktopKey(store);
}

#ifndef _WIN32
// Without xscreensaver the value is still recorded, then the user is told
// once that nothing runs it.
TEST(ScreensaverStep, RecordsTheEntryBeforeSayingNothingRunsIt)
{
    Log log;
    test::FakeStore store(&log);
    test::TempDir dir;
    ScreenSaverSelector selector({dir.file(".xscreensaver"), dir.file("not-installed")});
    EXPECT_EQ(test::errorOf([&] { applyScreensaver("/s/a.scr", store, &selector); }), kNoScreenSaverNotice);
    EXPECT_EQ(test::errorOf([&] { applyScreensaver("/s/b.scr", store, &selector); }), test::kNoError);
    EXPECT_EQ(log, (Log{"SCRNSAVE.EXE=/s/a.scr", "SCRNSAVE.EXE=/s/b.scr"}));
    expectOnlyTheDesktopKey(store);
}
#endif

#ifndef _WIN32
// Away from Windows only: there the hand-over is the system's, which records
// the path in the registry itself (WinWallpaperTest).
TEST(ApplySteps, WithTheFileStoreAndNoDesktop)
{
    const test::ScopedEnv desktop("PLIMBURY_DESKTOP", "none");
    test::TempDir dir;
    const std::unique_ptr<Store> store = makeFileStore(dir.file("registry"));
    const std::unique_ptr<Wallpaper> wallpaper = makeSystemWallpaper(*store);
    const std::string picture = dir.file("sea.jpg");
    writeJpeg(picture, 16, 9);
    const std::string bitmap = wallpaperBitmapPath(dir.path().string());

    applyWallpaper(picture, *store, *wallpaper, bitmap);
    applyScreensaver("/usr/lib/savers/stars.scr", *store);

    const std::unique_ptr<StoreKey> key = store->openKey(Root::CurrentUser, kDesktopKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->read("TileWallPaper"), "0");
    EXPECT_EQ(key->read("WallPaperStyle"), "2");
    EXPECT_EQ(key->read(kWallpaperValue), bitmap);
    EXPECT_EQ(key->read("SCRNSAVE.EXE"), "/usr/lib/savers/stars.scr");
    EXPECT_EQ(test::readFile(bitmap).substr(0, 2), "BM");
}
#endif

} // namespace
} // namespace plimbury
