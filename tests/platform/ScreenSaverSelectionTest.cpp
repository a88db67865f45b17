#ifndef _WIN32

#include "platform/Error.h"
#include "platform/ScreenSaverSelection.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace plimbury;
using plimbury::test::ScopedEnv;
using plimbury::test::TempDir;
using plimbury::test::readFile;
using plimbury::test::writeFile;

namespace {

// As installed: resources with "*", the list continued over lines, items
// separated by "\n" escapes, with visuals, pretty names and disabled items.
const std::string kAppDefaults =
    "! XScreenSaver defaults\n"
    "*timeout:\t\t0:10:00\n"
    "*mode:\t\t\trandom\n"
    "*programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "  GL: \t\t\t\tsuperquadrics -root\t\t\t    \\n\\\n"
    "- \"Qix (solid)\"\t\t\tqix -root -solid -segments 100\t    \\n\\\n"
    "\t\t\t\tqix -root\t\t\t\t    \\n\\\n"
    "  default-n:\t\t\tattraction -root\t\t\t    \\n\\\n"
    "-\t\t\t\t/usr/libexec/xscreensaver/xflame -root\t    \\n\\\n"
    "  GL:\t\t\t\tgears -root\t\t\t\t    \\n\n"
    "*pointerHysteresis:\t10\n";

// A user's own file, as xscreensaver writes it: no "*", its own order.
const std::string kUserFile =
    "# XScreenSaver Preferences File\n"
    "timeout:\t0:10:00\n"
    "mode:\t\trandom\n"
    "selected:\t-1\n"
    "\n"
    "programs:\t\t\t\t\t\t\t      \\\n"
    "  GL:\t\t\t\tgears -root\t\t\t\t    \\n\\\n"
    "-\t\t\t\tmaze -root\t\t\t\t    \\n\\\n"
    "\t\t\t\tmaze -root -grid-size 4\t\t    \\n\\\n"
    "\t\t\t\txflame -root\t\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

struct Files {
    TempDir dir;
    XScreenSaverFiles files{dir.file("home/.xscreensaver"), dir.file("XScreenSaver")};
    Files() { std::filesystem::create_directories(dir.file("home")); }
};

TEST(ScreenSaverSelection, TheUsersListDecidesTheIndexAndOnlyModeAndSelectedChange)
{
    struct Case {
        const char* entry;
        bool selected;
        const char* index;
    };
    for (const Case& c : {
             Case{"/usr/libexec/xscreensaver/gears", true, "0"},
             Case{"/usr/lib/xscreensaver/maze", true, "2"},          // the enabled one of two
             Case{"/usr/libexec/xscreensaver/xflame.scr", true, "3"},
             Case{"C:\\WINDOWS\\system32\\XFLAME.SCR", true, "3"},
             Case{"/usr/libexec/xscreensaver/qix", false, nullptr},  // only in the installed list
             Case{"/home/u/savers/flurry.scr", false, nullptr},
             Case{"", false, nullptr},
         }) {
        SCOPED_TRACE(c.entry);
        Files f;
        writeFile(f.files.appDefaults, kAppDefaults);
        writeFile(f.files.userFile, kUserFile);
        EXPECT_EQ(selectXScreenSaverProgram(c.entry, f.files), c.selected);
        std::string expected = kUserFile;
        if (c.selected) {
            expected.replace(expected.find("mode:\t\trandom\n"), 14, "mode:\t\tone\n");
            expected.replace(expected.find("selected:\t-1\n"), 13, std::string("selected:\t\t") + c.index + "\n");
        }
        EXPECT_EQ(readFile(f.files.userFile), expected);
    }
}

TEST(ScreenSaverSelection, WithoutAUserFileTheInstalledListDecidesAndAFileIsMade)
{
    struct Case {
        const char* entry;
        const char* index;
    };
    for (const Case& c : {
             Case{"/usr/libexec/xscreensaver/maze", "0"},
             Case{"/usr/libexec/xscreensaver/superquadrics", "1"},
             Case{"/usr/libexec/xscreensaver/qix", "3"},       // enabled, after the disabled "Qix (solid)"
             Case{"/usr/libexec/xscreensaver/attraction", "4"},
             Case{"/usr/libexec/xscreensaver/xflame", "5"},    // disabled, but the only one
             Case{"/usr/libexec/xscreensaver/gears", "6"},
         }) {
        SCOPED_TRACE(c.entry);
        Files f;
        writeFile(f.files.appDefaults, kAppDefaults);
        EXPECT_TRUE(selectXScreenSaverProgram(c.entry, f.files));
        EXPECT_EQ(readFile(f.files.userFile), std::string("mode:\t\tone\nselected:\t\t") + c.index + "\n");
    }
}

TEST(ScreenSaverSelection, NothingHappensWithoutXScreenSaverAndFailuresAreErrors)
{
    {
        Files notInstalled;
        writeFile(notInstalled.files.userFile, kUserFile);
        EXPECT_FALSE(selectXScreenSaverProgram("/usr/libexec/xscreensaver/gears", notInstalled.files));
        EXPECT_EQ(readFile(notInstalled.files.userFile), kUserFile);
    }
    {
        // Missing keys are added; a last line without its line end is kept whole.
        Files f;
        writeFile(f.files.appDefaults, kAppDefaults);
        writeFile(f.files.userFile, "programs: gears -root \\n\\\n maze -root\nlock: True");
        EXPECT_TRUE(selectXScreenSaverProgram("/x/maze", f.files));
        EXPECT_EQ(readFile(f.files.userFile),
                  "programs: gears -root \\n\\\n maze -root\nlock: True\nmode:\t\tone\nselected:\t\t1\n");
    }
    {
        Files f;
        writeFile(f.files.appDefaults, kAppDefaults);
        XScreenSaverFiles noFolder{f.dir.file("gone/.xscreensaver"), f.files.appDefaults};
        try {
            selectXScreenSaverProgram("/x/maze", noFolder);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + noFolder.userFile + "\". No such file or directory");
        }
        std::filesystem::create_directory(f.dir.file("folder"));
        XScreenSaverFiles unreadable{f.dir.file("folder"), f.files.appDefaults};
        try {
            selectXScreenSaverProgram("/x/maze", unreadable);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + unreadable.userFile + "\". ", 0), 0u);
        }
    }
}

TEST(ScreenSaverSelection, TheUsersFileIsInTheHomeFolder)
{
    ScopedEnv home("HOME", "/home/someone");
    EXPECT_EQ(systemXScreenSaverFiles().userFile, "/home/someone/.xscreensaver");
    EXPECT_EQ(systemXScreenSaverFiles().appDefaults, "/etc/X11/app-defaults/XScreenSaver");
}

} // namespace

#endif
