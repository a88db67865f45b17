// The wallpaper hand-over against the system itself (Wine in CI): the path
// must end up where Windows keeps it, HKEY_CURRENT_USER\Control Panel\Desktop.
#ifdef _WIN32

#include "desktop/Wallpaper.h"
#include "platform/Store.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <windows.h>

using namespace plimbury;
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

} // namespace

#endif
