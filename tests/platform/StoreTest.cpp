#include "platform/Store.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace plimbury;
using namespace plimbury::test;

namespace {

TEST(FileStore, KeyExistsOnlyOnceOpenedAndIsWrittenUnderItsRootAsNamed)
{
    TempDir dir;
    const std::string folder = dir.file("deeper/store");
    auto store = makeFileStore(folder);

    struct Case {
        Root root;
        const char* path;
        const char* file;
        const char* otherFile;
    };
    for (const Case& c : std::vector<Case>{
             {Root::LocalMachine, kProgramKey, "HKEY_LOCAL_MACHINE.ini", "HKEY_CURRENT_USER.ini"},
             {Root::LocalMachine, kRunKey, "HKEY_LOCAL_MACHINE.ini", "HKEY_CURRENT_USER.ini"},
             {Root::CurrentUser, kDesktopKey, "HKEY_CURRENT_USER.ini", "HKEY_LOCAL_MACHINE.ini"},
         }) {
        SCOPED_TRACE(c.path);
        const Root other = c.root == Root::LocalMachine ? Root::CurrentUser : Root::LocalMachine;
        EXPECT_FALSE(store->keyExists(c.root, c.path));
        ASSERT_NE(store->openKey(c.root, c.path), nullptr);
        EXPECT_TRUE(store->keyExists(c.root, c.path));
        EXPECT_FALSE(store->keyExists(other, c.path));
        // The empty key is on disk at once, before any value is written.
        const std::string text = readFile(folder + "/" + c.file);
        EXPECT_NE(text.find(std::string("[") + c.path + "]"), std::string::npos) << text;
        EXPECT_EQ(readFile(folder + "/" + c.otherFile).find(std::string("[") + c.path + "]"),
                  std::string::npos);
    }
    EXPECT_EQ(readFile(folder + "/HKEY_LOCAL_MACHINE.ini"),
              "[software\\lumavuetest]\r\n[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n");
}

TEST(FileStore, NamesMatchWithoutRegardToCaseAndReopeningAddsNothing)
{
    TempDir dir;
    auto store = makeFileStore(dir.path().string());
    store->openKey(Root::LocalMachine, kProgramKey)->write(kSelectedValue, "/home/u/a.lmv");
    const std::string before = readFile(dir.file("HKEY_LOCAL_MACHINE.ini"));

    EXPECT_TRUE(store->keyExists(Root::LocalMachine, "SOFTWARE\\LumaVueTest"));
    auto key = store->openKey(Root::LocalMachine, "Software\\LUMAVUETEST");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->read("SETTIME_SELECTED"), "/home/u/a.lmv");
    EXPECT_EQ(readFile(dir.file("HKEY_LOCAL_MACHINE.ini")), before);
}

TEST(FileStore, ValuesReadBackExactlyAsWritten)
{
    TempDir dir;
    auto store = makeFileStore(dir.path().string());
    auto key = store->openKey(Root::CurrentUser, kDesktopKey);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->read("Wallpaper"), "") << "a missing value reads as empty";

    const std::vector<std::string> values = {
        "/home/u/Pictures/lumavue.bmp",
        "C:\\Program Files\\x\\plimbury.exe /TRAY",
        "/home/u/name ending in a blank ",
        " leading blank",
        "\tboth\t",
        "\"quoted\"",
        "'single'",
        "\"",
        "a \"b\" c",
        "name=with=equals ; and [brackets]",
        "/home/u/\xC3\xA9t\xC3\xA9/caf\xE9.jpg",
        std::string(5000, 'p'),
        "",
    };
    for (const std::string& value : values) {
        SCOPED_TRACE(value.substr(0, 60));
        key->write("SCRNSAVE.EXE", value);
        EXPECT_EQ(key->read("SCRNSAVE.EXE"), value);
        // A fresh store over the same folder sees what is on disk.
        EXPECT_EQ(makeFileStore(dir.path().string())->openKey(Root::CurrentUser, kDesktopKey)->read("scrnsave.exe"),
                  value);
    }
}

TEST(FileStore, KeysThatCannotBeCreatedOpenAsNull)
{
    TempDir dir;
    writeFile(dir.file("plain"), "a regular file");
    // Both roots' files as folders: the store can neither read nor replace them.
    fs::create_directories(dir.file("folders/HKEY_LOCAL_MACHINE.ini"));
    fs::create_directories(dir.file("folders/HKEY_CURRENT_USER.ini"));

    struct Case {
        const char* name;
        std::string folder;
        std::string path;
    };
    for (const Case& c : std::vector<Case>{
             {"store below a regular file", dir.file("plain/store"), kProgramKey},
             {"store is a regular file", dir.file("plain"), kProgramKey},
             {"store files are folders", dir.file("folders"), kProgramKey},
             {"empty key path", dir.file("ok"), ""},
             {"blank key path", dir.file("ok"), "  "},
             {"key path of other blanks", dir.file("ok"), " \v\f\x1A\t"},
             {"bracket in key path", dir.file("ok"), "a]b"},
             {"line break in key path", dir.file("ok"), "a\nb"},
         }) {
        SCOPED_TRACE(c.name);
        auto store = makeFileStore(c.folder);
        EXPECT_EQ(store->openKey(Root::LocalMachine, c.path), nullptr);
        EXPECT_EQ(store->openKey(Root::CurrentUser, c.path), nullptr);
        EXPECT_FALSE(store->keyExists(Root::LocalMachine, c.path));
    }
    EXPECT_FALSE(fs::exists(dir.file("ok/HKEY_LOCAL_MACHINE.ini")));
}

TEST(FileStore, AWriteThatCannotBeStoredThrowsAndKeepsTheOtherValues)
{
    TempDir dir;
    const std::string folder = dir.file("store");
    auto store = makeFileStore(folder);
    auto key = store->openKey(Root::LocalMachine, kProgramKey);
    ASSERT_NE(key, nullptr);
    key->write(kSelectedValue, "/a.lmv");
    const std::string before = readFile(folder + "/HKEY_LOCAL_MACHINE.ini");

    auto expectRefused = [&](const std::string& name, const std::string& value, const std::string& text) {
        EXPECT_EQ(errorOf([&] { key->write(name, value); }), text);
    };
    // Texts the file cannot hold as one entry.
    expectRefused("SCRNSAVE.EXE", "/a\nb.scr", "Failed to set data for 'SCRNSAVE.EXE'");
    expectRefused("a=b", "x", "Failed to set data for 'a=b'");
    EXPECT_EQ(readFile(folder + "/HKEY_LOCAL_MACHINE.ini"), before);

    // The store file replaced by something unreadable after the key was opened.
    fs::remove(folder + "/HKEY_LOCAL_MACHINE.ini");
    fs::create_directory(folder + "/HKEY_LOCAL_MACHINE.ini");
    expectRefused(kSelectedValue, "/b.lmv", "Failed to set data for 'settime_selected'");
    EXPECT_EQ(key->read(kSelectedValue), "");

    // The whole store folder gone and a regular file in its place.
    fs::remove_all(folder);
    writeFile(folder, "not a folder");
    expectRefused(kSelectedValue, "/b.lmv", "Failed to set data for 'settime_selected'");
}

TEST(FileStore, DamagedStoreFilesNeverCrashAndStillTakeNewKeys)
{
    std::string garbage;
    for (int i = 0; i < 100000; ++i)
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"binary garbage", garbage},
        {"nul bytes", std::string("[software\\lumavuetest]\0\0\0\r\nsettime_selected=\0x\r\n", 44)},
        {"one 10 MB line", std::string(10 * 1024 * 1024, 'x')},
        {"10 MB header without its bracket", "[" + std::string(10 * 1024 * 1024, 'k')},
        {"no line end at all", "[software\\lumavuetest]\r\nsettime_selected=/a.lmv"},
        {"lone carriage returns", "\r\r[Control Panel\\Desktop]\rWallpaper=/w.bmp\r\r"},
        {"only a byte-order mark", "\xEF\xBB\xBF"},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        writeFile(dir.file("HKEY_LOCAL_MACHINE.ini"), bytes);
        auto store = makeFileStore(dir.path().string());
        store->keyExists(Root::LocalMachine, kProgramKey);
        auto key = store->openKey(Root::LocalMachine, kRunKey);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(key->read("missing"), "");
        key->write(kAutostartValue, "/usr/bin/plimbury /TRAY");
        EXPECT_EQ(key->read(kAutostartValue), "/usr/bin/plimbury /TRAY");
        EXPECT_TRUE(store->keyExists(Root::LocalMachine, kRunKey));
    }
}

TEST(FileStore, KeysAndValuesAlreadyInAFileWrittenByHand)
{
    TempDir dir;
    writeFile(dir.file("HKEY_LOCAL_MACHINE.ini"),
              "[software\\lumavuetest]\nsettime_selected=/a.lmv\n"
              "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\nVertanox plimbruy 2.1=/p /TRAY");
    auto store = makeFileStore(dir.path().string());
    EXPECT_TRUE(store->keyExists(Root::LocalMachine, kProgramKey));
    EXPECT_TRUE(store->keyExists(Root::LocalMachine, kRunKey));
    EXPECT_EQ(store->openKey(Root::LocalMachine, kRunKey)->read(kAutostartValue), "/p /TRAY");

    store->openKey(Root::LocalMachine, kDesktopKey);
    EXPECT_EQ(store->openKey(Root::LocalMachine, kRunKey)->read(kAutostartValue), "/p /TRAY")
        << "a new key after a last line without a line end must not join it";
    EXPECT_TRUE(store->keyExists(Root::LocalMachine, kDesktopKey));
}

TEST(FileStore, DefaultDirectory)
{
    struct Case {
        const char* registry;
        const char* configHome;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {"/srv/reg", "/cfg", "/srv/reg"},
             {nullptr, "/cfg", "/cfg/plimbury"},
             {"", "/cfg", "/cfg/plimbury"},
             {nullptr, nullptr, "/home/someone/.config/plimbury"},
             {nullptr, "", "/home/someone/.config/plimbury"},
             {nullptr, "relative/cfg", "/home/someone/.config/plimbury"},
         }) {
        SCOPED_TRACE(c.expected);
        ScopedEnv home("HOME", "/home/someone");
        ScopedEnv registry("PLIMBURY_REGISTRY", c.registry);
        ScopedEnv config("XDG_CONFIG_HOME", c.configHome);
        EXPECT_EQ(defaultStoreDirectory(), c.expected);
    }
}

#ifndef _WIN32
// On Windows the system store is the registry (WinRegistryStoreTest).
TEST(FileStore, SystemStoreUsesTheRegistryFolder)
{
    TempDir dir;
    ScopedEnv registry("PLIMBURY_REGISTRY", dir.path().string().c_str());
    makeSystemStore()->openKey(Root::LocalMachine, kProgramKey)->write(kSelectedValue, "/x.lmv");
    EXPECT_EQ(readFile(dir.file("HKEY_LOCAL_MACHINE.ini")), "[software\\lumavuetest]\r\nsettime_selected=/x.lmv\r\n");
}
#endif

} // namespace
