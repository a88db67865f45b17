#ifndef _WIN32

#include "desktop/ScreenSaverSelection.h"
#include "platform/Error.h"
#include "support/ErrorOf.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace plimbury;
using plimbury::test::errorOf;
using plimbury::test::kNoError;
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

// Once a change has written mode and selected into a user's file that has no
// list of its own, the next change must still find the installed list: it is
// the one xscreensaver itself reads.
TEST(ScreenSaverSelection, EveryChangeInARowFindsTheInstalledList)
{
    Files f;
    writeFile(f.files.appDefaults, kAppDefaults);
    writeFile(f.files.userFile, "lock:\t\tFalse\n");
    struct Step {
        const char* entry;
        const char* index;
    };
    for (const Step& step : {Step{"/usr/libexec/xscreensaver/qix", "3"}, Step{"/x/gears", "6"},
                             Step{"/y/qix", "3"}, Step{"/z/attraction", "4"}, Step{"/x/gears", "6"}}) {
        SCOPED_TRACE(step.entry);
        EXPECT_TRUE(selectXScreenSaverProgram(step.entry, f.files));
        EXPECT_EQ(readFile(f.files.userFile), std::string("lock:\t\tFalse\nmode:\t\tone\nselected:\t\t") + step.index + "\n");
    }
}

TEST(ScreenSaverSelector, SaysOnceThatNothingRunsProgramsAndNamesUnlistedEntries)
{
    {
        Files notInstalled;
        ScreenSaverSelector selector(notInstalled.files);
        EXPECT_EQ(errorOf([&] { selector.select("/x/gears"); }), kNoScreenSaverNotice);
        EXPECT_EQ(errorOf([&] { selector.select("/x/maze"); }), kNoError);
        EXPECT_FALSE(std::filesystem::exists(notInstalled.files.userFile));
    }
    Files f;
    writeFile(f.files.appDefaults, kAppDefaults);
    ScreenSaverSelector selector(f.files);
    const std::string unlisted = "\"/home/u/flurry.scr\" is not one of xscreensaver's screen savers, so the screen "
                                 "saver does not change; it is only recorded as SCRNSAVE.EXE";
    EXPECT_EQ(errorOf([&] { selector.select("/home/u/flurry.scr"); }), unlisted);
    EXPECT_EQ(errorOf([&] { selector.select("/home/u/flurry.scr"); }), unlisted);
    EXPECT_EQ(errorOf([&] { selector.select("/x/maze"); }), kNoError);
    EXPECT_EQ(readFile(f.files.userFile), "mode:\t\tone\nselected:\t\t0\n");
}

TEST(ScreenSaverTestRun, TheDaemonShowsItsOwnProgramsAndOthersRunInAWindow)
{
    struct Case {
        const char* name;
        bool installed;
        const char* program;
        int daemonStatus;    // exit status of xscreensaver-command
        bool startWorks;
        std::vector<std::vector<std::string>> commands;
        std::vector<std::string> started;
        const char* error;
    };
    const std::vector<std::string> selectQix{"xscreensaver-command", "-select", "4"};
    for (const Case& c : {
             Case{"daemon runs its program", true, "/usr/libexec/xscreensaver/qix", 0, true, {selectQix}, {}, nullptr},
             Case{"no daemon", true, "/usr/libexec/xscreensaver/qix", 255, true, {selectQix},
                  {"/usr/libexec/xscreensaver/qix"}, nullptr},
             Case{"not one of its programs", true, "/opt/savers/flurry", 0, true, {}, {"/opt/savers/flurry"}, nullptr},
             Case{"no xscreensaver", false, "/usr/libexec/xscreensaver/qix", 0, true, {},
                  {"/usr/libexec/xscreensaver/qix"}, nullptr},
             Case{"cannot start", false, "/opt/savers/broken", 0, false, {}, {"/opt/savers/broken"},
                  "Cannot start \"/opt/savers/broken\"; it is not a program that can be run"},
         }) {
        SCOPED_TRACE(c.name);
        Files f;
        if (c.installed)
            writeFile(f.files.appDefaults, kAppDefaults);
        std::vector<std::vector<std::string>> commands;
        std::vector<std::string> started;
        TestRunMeans means;
        means.files = f.files;
        means.runCommand = [&](const std::vector<std::string>& argv) {
            commands.push_back(argv);
            return c.daemonStatus;
        };
        means.start = [&](const std::string& program, const std::vector<std::string>& args) {
            EXPECT_TRUE(args.empty());
            started.push_back(program);
            return c.startWorks;
        };
        EXPECT_EQ(errorOf([&] { testRunScreenSaver(c.program, means); }), c.error ? c.error : kNoError);
        EXPECT_EQ(commands, c.commands);
        EXPECT_EQ(started, c.started);
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
