// Paths with letters beyond ASCII on Windows (Wine in CI). The program keeps
// paths as UTF-8 text and runs with UTF-8 as its code page (the manifest, which
// the tests carry too); every file it touches must be the one so named, not a
// folder whose name lost its accent on the way.
#ifdef _WIN32

#include "imaging/Picture.h"
#include "platform/AtomicFile.h"
#include "platform/FilePath.h"
#include "platform/Store.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace plimbury {
namespace {

TEST(WinAccentedPaths, FilesTheStoreAndPicturesKeepTheAccent)
{
    ASSERT_EQ(GetACP(), UINT{CP_UTF8}) << "the tests run without the program's manifest";
    const test::TempDir dir;
    // "Bilder\Sommer é" in UTF-8, and as Windows names it.
    const std::string folder = pathText(dir.path()) + "\\Bilder\\Sommer \xC3\xA9";
    const std::filesystem::path wide = dir.path() / L"Bilder" / L"Sommer \u00e9";
    ASSERT_EQ(fsPath(folder), wide);
    ASSERT_EQ(pathText(wide), folder);
    std::filesystem::create_directories(wide);

    writeFileAtomically(folder + "\\show.lmv", "[countitem]\r\n");
    EXPECT_TRUE(std::filesystem::exists(wide / L"show.lmv"));

    // A store folder that does not exist yet is made where its name says.
    const std::unique_ptr<Store> store = makeFileStore(folder + "\\store");
    store->openKey(Root::CurrentUser, kDesktopKey)->write(kWallpaperValue, folder + "\\a.bmp");
    EXPECT_TRUE(std::filesystem::exists(wide / L"store" / L"HKEY_CURRENT_USER.ini"));
    EXPECT_EQ(makeFileStore(folder + "\\store")->openKey(Root::CurrentUser, kDesktopKey)->read(kWallpaperValue),
              folder + "\\a.bmp");

    // One blue pixel, 24 bits, bottom-up.
    static const unsigned char bmp[] = {'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 1, 0,
                                        0,   0,   1,  0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4,  0, 0, 0, 0, 0,
                                        0,   0,   0,  0, 0, 0, 0, 0, 0,  0, 0, 0, 0, 0, 255, 0, 0, 0};
    std::FILE* file = _wfopen((wide / L"blue.bmp").c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bmp, 1, sizeof bmp, file), sizeof bmp);
    std::fclose(file);
    const Picture picture = readBmpFile(folder + "\\blue.bmp");
    EXPECT_EQ(picture.width, 1);
    EXPECT_EQ(picture.rgb, (std::vector<std::uint8_t>{0, 0, 255}));
}

} // namespace
} // namespace plimbury

#endif
