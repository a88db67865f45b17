#ifndef _WIN32

#include "desktop/DesktopFiles.h"
#include "platform/Error.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>

using namespace plimbury;
using namespace plimbury::desktop;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::readFile;
using plimbury::test::writeFile;

namespace fs = std::filesystem;

namespace {

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(DesktopFiles, FileUrisPercentEncodeEverythingButUnreservedBytesAndSlashes)
{
    struct Case {
        const char* path;
        const char* uri;
    };
    for (const Case& c : {
             Case{"/opt/plimbury/lumavue.bmp", "file:///opt/plimbury/lumavue.bmp"},
             Case{"/home/u/My Pictures/a~b_c-d.bmp", "file:///home/u/My%20Pictures/a~b_c-d.bmp"},
             Case{"/p/100%#?&'\"\\.bmp", "file:///p/100%25%23%3F%26%27%22%5C.bmp"},
             Case{"/p/caf\xc3\xa9.bmp", "file:///p/caf%C3%A9.bmp"},
         }) {
        EXPECT_EQ(fileUri(c.path), c.uri);
    }
}

TEST(DesktopFiles, EachChangeGetsANewNameAndOnlyTheLastTwoAreKept)
{
    TempDir dir;
    const std::string cache = dir.file("cache/plimbury");
    const std::string picture = dir.file("lumavue.bmp");

    std::vector<std::string> handed;
    for (const char* content : {"first", "second", "third"}) {
        // Replaced by a rename, as the bitmap writer does.
        writeFile(picture + ".new", content);
        fs::rename(picture + ".new", picture);
        handed.push_back(freshWallpaperPath(picture, cache));
        EXPECT_EQ(readFile(handed.back()), content);
    }
    EXPECT_EQ(handed, (std::vector<std::string>{cache + "/wallpaper-0.bmp", cache + "/wallpaper-1.bmp",
                                                cache + "/wallpaper-2.bmp"}));
    EXPECT_EQ(namesIn(cache), (std::set<std::string>{"wallpaper-1.bmp", "wallpaper-2.bmp"}));
    EXPECT_EQ(readFile(handed[1]), "second") << "a link keeps the picture it was made of";

    // Numbering goes on from what is there (a restart), whatever the
    // extension, and leaves other files alone.
    writeFile(cache + "/wallpaper-41.gif", "old");
    writeFile(cache + "/notes.txt", "mine");
    writeFile(dir.file("mine.PNG"), "png");
    EXPECT_EQ(freshWallpaperPath(dir.file("mine.PNG"), cache), cache + "/wallpaper-42.PNG");
    EXPECT_EQ(namesIn(cache), (std::set<std::string>{"wallpaper-41.gif", "wallpaper-42.PNG", "notes.txt"}));

    struct stat original {}, linked {};
    ASSERT_EQ(stat(dir.file("mine.PNG").c_str(), &original), 0);
    ASSERT_EQ(stat((cache + "/wallpaper-42.PNG").c_str(), &linked), 0);
    EXPECT_EQ(original.st_ino, linked.st_ino) << "a hard link where the file system allows it";
}

TEST(DesktopFiles, FailuresNameTheFile)
{
    TempDir dir;
    writeFile(dir.file("plain"), "not a folder");
    writeFile(dir.file("a.bmp"), "BM");
    fs::create_directory(dir.file("folder.bmp"));
    struct Case {
        std::string picture;
        std::string cache;
        std::string error;
    };
    for (const Case& c : std::vector<Case>{
             {dir.file("gone.bmp"), dir.file("cache"),
              "Cannot open file \"" + dir.file("gone.bmp") + "\". No such file or directory"},
             {dir.file("folder.bmp"), dir.file("cache"),
              "Cannot open file \"" + dir.file("folder.bmp") + "\". Is a directory"},
             {dir.file("a.bmp"), dir.file("plain/cache"),
              "Cannot create file \"" + dir.file("plain/cache") + "/wallpaper-0.bmp\". Not a directory"},
         }) {
        SCOPED_TRACE(c.error);
        try {
            freshWallpaperPath(c.picture, c.cache);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.error);
        }
    }
}

TEST(DesktopFiles, TheCacheFolderFollowsXdgCacheHome)
{
    {
        ScopedEnv cache("XDG_CACHE_HOME", "/var/tmp/c");
        EXPECT_EQ(wallpaperCacheFolder(), "/var/tmp/c/plimbury");
    }
    ScopedEnv unset("XDG_CACHE_HOME", nullptr);
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(wallpaperCacheFolder(), "/home/someone/.cache/plimbury");
}

} // namespace

#endif
