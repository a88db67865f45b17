// The wallpaper hand-over against the system itself (Wine in CI): the path
// must end up where Windows keeps it, HKEY_CURRENT_USER\Control Panel\Desktop.
// The monitors' arithmetic first, which builds everywhere.

#include "desktop/win/DesktopMonitors.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

namespace {

using plimbury::PixelRect;
using namespace plimbury::win;

TEST(WinMonitors, OrderedLeftToRightThenTopToBottom)
{
    struct Case {
        const char* what;
        std::vector<PixelRect> monitors;
        std::vector<std::size_t> order;
    };
    const Case cases[] = {
        {"side by side, the right one listed first", {{1920, 0, 1920, 1080}, {0, 0, 1920, 1080}}, {1, 0}},
        {"stacked, the lower one listed first", {{0, 1080, 1920, 1080}, {0, 0, 1920, 1080}}, {1, 0}},
        {"left of the primary, negative", {{0, 0, 1920, 1080}, {-1280, 200, 1280, 1024}}, {1, 0}},
        {"equal rectangles keep their order", {{0, 0, 800, 600}, {0, 0, 800, 600}}, {0, 1}},
        {"three, a tall one between", {{3000, 0, 800, 600}, {0, 0, 1920, 1080}, {1920, -400, 1080, 1920}}, {1, 2, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(leftToRight(c.monitors), c.order) << c.what;
}

TEST(WinMonitors, SpanAreasStartAtTheVirtualScreensCorner)
{
    // A monitor left of the primary one, which reaches higher: the virtual
    // screen starts at negative coordinates on both axes.
    const DesktopScreen screen{{-1280, -200, 3200, 1280}, {{-1280, 0, 1280, 1024}, {0, -200, 1920, 1080}}};
    EXPECT_EQ(spanAreas(screen), (std::vector<PixelRect>{{0, 200, 1280, 1024}, {1280, 0, 1920, 1080}}));
}

} // namespace

#ifdef _WIN32

#include "desktop/Wallpaper.h"
#include "imaging/BmpWriter.h"
#include "imaging/Picture.h"
#include "platform/Store.h"
#include "support/ErrorOf.h"
#include "support/JpegEncode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

using namespace plimbury;
using plimbury::test::errorOf;
using plimbury::test::TempDir;
using plimbury::test::writeFile;

namespace {

std::optional<std::string> desktopWallpaperSetting()
{
    char buffer[4096] = {};
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, kWallpaperValue, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buffer);
}

// A 1 x 1 picture, 24 bits per pixel, uncompressed.
std::string oneBluePixelBmp()
{
    std::string bmp;
    auto put = [&bmp](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            bmp += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    bmp += "BM";
    put(14 + 40 + 4, 4);
    put(0, 4);
    put(14 + 40, 4);
    put(40, 4);
    put(1, 4);
    put(1, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(4, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    put(0x0000FF, 3);
    put(0, 1);
    return bmp;
}

class WinWallpaper : public ::testing::Test {
protected:
    // The machine's own wallpaper comes back afterwards.
    ~WinWallpaper() override
    {
        SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(m_before.c_str()), SPIF_UPDATEINIFILE);
    }

    std::string m_before = desktopWallpaperSetting().value_or("");
};

TEST_F(WinWallpaper, HandOverLeavesThePathInTheDesktopSettings)
{
    TempDir dir;
    const std::string first = dir.file("lumavue.bmp");
    const std::string second = dir.file("a folder with blanks and a very long name that goes on\\picture one.bmp");
    std::filesystem::create_directories(std::filesystem::path(second).parent_path());
    writeFile(first, oneBluePixelBmp());
    writeFile(second, oneBluePixelBmp());

    auto store = makeSystemStore();
    auto wallpaper = makeSystemWallpaper(*store);
    wallpaper->setDesktopWallpaper(first);
    EXPECT_EQ(desktopWallpaperSetting(), first);
    wallpaper->setDesktopWallpaper(second);
    EXPECT_EQ(desktopWallpaperSetting(), second);
}

std::string desktopValue(const char* name)
{
    return makeSystemStore()->openKey(Root::CurrentUser, kDesktopKey)->read(name);
}

void writeSolidBitmap(const std::string& path, Colour colour)
{
    test::writeSolidBitmap(path, colour.red, colour.green, colour.blue);
}

Colour pixelAt(const Picture& picture, int x, int y)
{
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(picture.width) +
                            static_cast<std::size_t>(x)) * 3;
    return {picture.rgb[at], picture.rgb[at + 1], picture.rgb[at + 2]};
}

// The system's own wallpaper settings, as they were before the test, come back afterwards.
class WinMonitorPictures : public WinWallpaper {
protected:
    ~WinMonitorPictures() override
    {
        auto key = makeSystemStore()->openKey(Root::CurrentUser, kDesktopKey);
        key->write("WallpaperStyle", m_style);
        key->write("TileWallPaper", m_tile);
    }

    std::string m_style = desktopValue("WallpaperStyle");
    std::string m_tile = desktopValue("TileWallPaper");
    TempDir m_dir;
    test::ScopedEnv m_localData{"LOCALAPPDATA", m_dir.path().string().c_str()};
    std::string m_red = m_dir.file("red é.bmp");
    std::string m_blue = m_dir.file("blue.bmp");
    std::unique_ptr<Store> m_store = makeSystemStore();
};

TEST_F(WinMonitorPictures, TheSystemsMonitorsTakeTwoPictures)
{
    writeSolidBitmap(m_red, {255, 0, 0});
    writeSolidBitmap(m_blue, {0, 0, 255});
    auto wallpaper = makeSystemWallpaper(*m_store);
    const int monitors = wallpaper->monitorCount();
    ASSERT_GE(monitors, 1);
    wallpaper->setLayout({FitMode::Fit, {0, 128, 0}});
    ASSERT_EQ(errorOf([&] { wallpaper->setDesktopWallpapers({m_red, m_blue}); }), test::kNoError);
    const std::string span = spanPicturePath();
    if (monitors == 1) {
        EXPECT_EQ(desktopWallpaperSetting(), m_red);
        EXPECT_FALSE(std::filesystem::exists(span));
    } else {
        // Spanned where the system has no picture per monitor, else the first monitor's.
        const std::string shown = desktopWallpaperSetting().value_or("");
        EXPECT_TRUE(shown == span || shown == m_red) << shown;
        if (shown == span) {
            const Picture composed = readBmpFile(span);
            EXPECT_EQ(composed.width, GetSystemMetrics(SM_CXVIRTUALSCREEN));
            EXPECT_EQ(composed.height, GetSystemMetrics(SM_CYVIRTUALSCREEN));
        }
    }
}

TEST_F(WinMonitorPictures, WithoutAPicturePerMonitorTheyAreSpannedAsOne)
{
    writeSolidBitmap(m_red, {255, 0, 0});
    writeSolidBitmap(m_blue, {0, 0, 255});
    // A 40 x 30 monitor left of the primary one and lower, the primary 60 x 50.
    const DesktopScreen screen{{-40, -10, 100, 50}, {{-40, 0, 40, 30}, {0, -10, 60, 50}}};
    auto wallpaper = makeSpanningWallpaper(*m_store, [screen] { return screen; });
    EXPECT_EQ(wallpaper->monitorCount(), 2);
    wallpaper->setLayout({FitMode::Stretch, {0, 128, 0}});
    wallpaper->setDesktopWallpapers({m_red, m_blue});

    const std::string span = m_dir.file("plimbury\\lumavue-span.bmp");
    EXPECT_EQ(spanPicturePath(), span);
    EXPECT_EQ(desktopWallpaperSetting(), span);
    EXPECT_EQ(desktopValue("WallpaperStyle"), "22");
    EXPECT_EQ(desktopValue("TileWallPaper"), "0");
    const Picture composed = readBmpFile(span);
    ASSERT_EQ(composed.width, 100);
    ASSERT_EQ(composed.height, 50);
    struct Seen {
        const char* what;
        int x, y;
        Colour colour;
    };
    const Seen seen[] = {
        {"the left monitor, the first picture", 20, 25, {255, 0, 0}},
        {"the primary monitor, the second", 70, 25, {0, 0, 255}},
        {"above the left monitor", 20, 5, {0, 128, 0}},
        {"below the left monitor", 20, 45, {0, 128, 0}},
    };
    for (const Seen& s : seen)
        EXPECT_EQ(pixelAt(composed, s.x, s.y), s.colour) << s.what;
}

TEST_F(WinMonitorPictures, OnePathOrOneMonitorIsShownAsOnePictureAlways)
{
    writeSolidBitmap(m_red, {255, 0, 0});
    writeSolidBitmap(m_blue, {0, 0, 255});
    const DesktopScreen two{{0, 0, 100, 50}, {{0, 0, 50, 50}, {50, 0, 50, 50}}};
    const DesktopScreen one{{0, 0, 100, 50}, {{0, 0, 100, 50}}};
    struct Case {
        const char* what;
        DesktopScreen screen;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"one path on two monitors", two, {m_blue}},
        {"two paths on one monitor", one, {m_blue, m_red}},
        {"no monitor to be found", {}, {m_blue, m_red}},
    };
    for (const Case& c : cases) {
        auto key = m_store->openKey(Root::CurrentUser, kDesktopKey);
        key->write("WallpaperStyle", "6");
        auto wallpaper = makeSpanningWallpaper(*m_store, [screen = c.screen] { return screen; });
        wallpaper->setDesktopWallpapers(c.paths);
        EXPECT_EQ(desktopWallpaperSetting(), m_blue) << c.what;
        EXPECT_EQ(desktopValue("WallpaperStyle"), "6") << c.what;
        EXPECT_FALSE(std::filesystem::exists(spanPicturePath())) << c.what;
    }
}

TEST_F(WinMonitorPictures, AMissingPictureChangesNothing)
{
    writeSolidBitmap(m_red, {255, 0, 0});
    const DesktopScreen screen{{0, 0, 100, 50}, {{0, 0, 50, 50}, {50, 0, 50, 50}}};
    auto wallpaper = makeSpanningWallpaper(*m_store, [screen] { return screen; });
    wallpaper->setDesktopWallpaper(m_red);
    m_store->openKey(Root::CurrentUser, kDesktopKey)->write("WallpaperStyle", "10");

    const std::string error = errorOf([&] { wallpaper->setDesktopWallpapers({m_red, m_blue}); });
    EXPECT_EQ(error.rfind("Cannot open file \"" + m_blue + "\".", 0), 0u) << error;
    EXPECT_EQ(desktopWallpaperSetting(), m_red);
    EXPECT_EQ(desktopValue("WallpaperStyle"), "10");
    EXPECT_FALSE(std::filesystem::exists(spanPicturePath()));
}

} // namespace

#endif
