// Steering from the command line: which arguments are commands, the pause in
// the store, and the status report of a saved project.

#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "platform/ProfileFile.h"
#include "rotation/Control.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {
namespace {

TEST(Control, OnlyASingleKnownArgumentIsACommand)
{
    struct Case {
        std::vector<std::string> arguments;
        std::optional<ControlCommand> command;
    };
    for (const Case& c : {
             Case{{"--next"}, ControlCommand::Next},
             Case{{"--next-screensaver"}, ControlCommand::NextScreensaver},
             Case{{"--pause"}, ControlCommand::Pause},
             Case{{"--resume"}, ControlCommand::Resume},
             Case{{"--status"}, ControlCommand::Status},
             Case{{"--help"}, ControlCommand::Help},
             Case{{}, std::nullopt},
             Case{{"/TRAY"}, std::nullopt},
             Case{{"--NEXT"}, std::nullopt},
             Case{{"--next", "--pause"}, std::nullopt},
             Case{{"next"}, std::nullopt},
         }) {
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
        EXPECT_EQ(controlCommandOf(c.arguments), c.command);
        if (c.command) {
            EXPECT_EQ(controlArgument(*c.command), c.arguments.front());
        }
    }
}

TEST(Control, ThePauseIsKeptInTheStore)
{
    test::TempDir dir;
    const std::unique_ptr<Store> store = makeFileStore(dir.file("store"));
    EXPECT_FALSE(rotationPaused(*store));
    EXPECT_FALSE(store->keyExists(Root::LocalMachine, kProgramKey)) << "reading creates nothing";
    setRotationPaused(*store, true);
    EXPECT_TRUE(rotationPaused(*makeFileStore(dir.file("store"))));
    setRotationPaused(*store, false);
    EXPECT_FALSE(rotationPaused(*store));
}

TEST(Control, StatusNamesTheEntriesAndTheNextChanges)
{
    test::TempDir dir;
    const std::unique_ptr<Store> store = makeFileStore(dir.file("store"));
    EXPECT_EQ(statusReport(*store, LocalTime{2024, 3, 14, 10, 20, 0}), "No project is selected.\nPaused: no\n");

    const std::string path = dir.file("show.lmv");
    ProjectState state;
    state.wallpapers = {"/p/b.jpg", "/p/A.jpg", "/p/c.jpg"};
    state.screensavers = {"/s/galaxy"};
    state.wallpaper.enabled = {true, false, false};
    state.wallpaper.texts = {"5", "0", "0"};
    state.screensaver.enabled = {false, false, true};
    state.screensaver.texts = {"0", "0", "3"};
    const LocalTime saved{2024, 3, 14, 10, 20, 0};
    saveAndRunProject(path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); },
                      stampNumberText(saved));
    store->openKey(Root::LocalMachine, kProgramKey)->write(kSelectedValue, path);
    setRotationPaused(*store, true);

    EXPECT_EQ(statusReport(*store, LocalTime{2024, 3, 14, 10, 22, 0}),
              "Project: " + path + "\n"
              "Paused: yes\n"
              "Wallpaper:\n"
              "  current: /p/c.jpg\n"
              "  next:    /p/A.jpg (1 of 3)\n"
              "  every:   5 minute\n"
              "  change:  2024-03-14 10:25\n"
              "Screen saver:\n"
              "  current: /s/galaxy\n"
              "  next:    /s/galaxy (1 of 1)\n"
              "  every:   3 day\n"
              "  change:  2024-03-17\n");
    EXPECT_NE(statusReport(*store, LocalTime{2024, 3, 14, 10, 30, 0}).find("  change:  due now\n"), std::string::npos);

    state.display = {MonitorMode::Each, FitMode::Fit, Colour{0, 0x40, 0x80}};
    saveProject(path, state);
    const std::string report = statusReport(*store, LocalTime{2024, 3, 14, 10, 22, 0});
    EXPECT_EQ(report.substr(report.find("Display:")),
              "Display:\n  monitors:   each\n  fit:        fit\n  background: #004080\n");
}

// --next: the entry changes now, and the schedule goes on from now.
TEST(Control, AChangeAskedForIsMadeBeforeItsTimeAndTheScheduleMovesOn)
{
    test::TempDir dir;
    const std::string path = dir.file("show.lmv");
    ProjectState state;
    state.wallpapers = {"/p/a.jpg", "/p/b.jpg"};
    state.wallpaper.enabled = {false, true, false};
    state.wallpaper.texts = {"0", "2", "0"};
    state.screensaver.enabled = {true, false, false};
    state.screensaver.texts = {"5", "0", "0"};
    const LocalTime saved{2024, 3, 14, 10, 20, 0};
    saveAndRunProject(path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); },
                      stampNumberText(saved));

    RotationEngine engine;
    std::vector<std::string> applied;
    const ApplyStep apply = [&](const std::string& entry) { applied.push_back(entry); };
    bool firstTick = true;
    const LocalTime soon{2024, 3, 14, 10, 30, 0};
    ChannelInput input{state.wallpapers, state.wallpaper, apply};
    EXPECT_EQ(engine.wallpaper.tick(engine.files, path, input, firstTick, soon).failure, std::nullopt);
    EXPECT_TRUE(applied.empty()) << "not due before 12:20";
    input.dueNow = true;
    EXPECT_EQ(engine.wallpaper.tick(engine.files, path, input, firstTick, soon).failure, std::nullopt);
    EXPECT_EQ(applied, std::vector<std::string>{"/p/a.jpg"});
    const ProfileFile file(path);
    EXPECT_EQ(file.read("counttime", "sw_no"), "1");
    EXPECT_EQ(file.read("counttime", "setup_sw_minute"), "2403141230");
}

} // namespace
} // namespace plimbury
