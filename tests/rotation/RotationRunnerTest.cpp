// The rotation's run-time rules, driven by a stepped clock and two fake
// timers: turn taking, reports that never hold a channel up, the pause, the
// commands of a later copy, and a computer that sleeps between two ticks.

#include "rotation/RotationRunner.h"

#include "desktop/Wallpaper.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "rotation/Control.h"
#include "rotation/Schedule.h"
#include "support/JpegEncode.h"
#include "support/FakeClock.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace plimbury::test {
namespace {

using namespace std::chrono;

struct FakeTimers final : TurnTimers {
    std::array<bool, 2> active{};
    std::array<int, 2> starts{};
    void start(Channel c) override
    {
        active[static_cast<std::size_t>(c)] = true;
        ++starts[static_cast<std::size_t>(c)];
    }
    void stop(Channel c) override { active[static_cast<std::size_t>(c)] = false; }
    bool isActive(Channel c) const override { return active[static_cast<std::size_t>(c)]; }
};

struct RecordingWallpaper final : Wallpaper {
    std::vector<std::string> shown;
    PictureLayout layout;
    void setDesktopWallpaper(const std::string& path) override { shown.push_back(path); }
    void setLayout(const PictureLayout& l) override { layout = l; }
};

// A saved show and a runner over it, with every service a real one but the
// clock, the timers and the desktop.
struct Show {
    TempDir dir;
    std::unique_ptr<Store> store = makeFileStore(dir.file("store"));
    FakeClock clock;
    RecordingWallpaper wallpaper;
    FakeTimers timers;
    std::string project = dir.file("show.lmv");
    std::array<ChannelSettings, 2> settings;
    RotationRunner runner{RotationServices{store.get(), &clock, &wallpaper, nullptr, dir.path().string()}, timers};

    std::string bitmap(const std::string& name)
    {
        const std::string path = dir.file(name);
        writeGreyBitmap(path);
        return path;
    }

    // Both lists with one interval of `count` units, saved by Save and Run now.
    void save(std::vector<std::string> wallpapers, std::vector<std::string> screensavers, Unit unit = Unit::Minute,
              int count = 0)
    {
        ProjectState state;
        state.wallpapers = std::move(wallpapers);
        state.screensavers = std::move(screensavers);
        state.wallpaper.enabled[static_cast<std::size_t>(unit)] = true;
        state.wallpaper.texts[static_cast<std::size_t>(unit)] = std::to_string(count);
        state.screensaver = state.wallpaper;
        const LocalTime saved = clock.now();
        saveAndRunProject(project, state, [&](Unit u, std::int32_t n) { return nextDue(u, n, saved); },
                          stampNumberText(saved));
        settings = {ChannelSettings{state.wallpapers, state.wallpaper},
                    ChannelSettings{state.screensavers, state.screensaver}};
        runner.start(false);
    }

    std::optional<std::string> turn(Channel c) { return runner.turn(c, project, settings[static_cast<std::size_t>(c)]); }
    std::string screensaver() { return store->openKey(Root::CurrentUser, kDesktopKey)->read("SCRNSAVE.EXE"); }
    ControlReply command(ControlCommand c) { return runner.command(c, project, settings); }
};

TEST(RotationRunner, EachTurnPassesToThePartnerWithoutRestartingIt)
{
    struct Case {
        const char* name;
        bool paused;
        bool partnerRunning;
        int partnerStarts;   // by the turn
    };
    const Case cases[] = {
        {"partner stopped", false, false, 1},
        {"partner already running keeps its count", false, true, 0},
        {"paused", true, false, 1},
    };
    for (const Case& c : cases) {
        Show show;
        show.save({show.bitmap("a.bmp")}, {"/s/one.scr"});
        show.runner.start(c.paused);
        show.timers.active = {true, c.partnerRunning};
        show.turn(Channel::Wallpaper);
        EXPECT_FALSE(show.timers.isActive(Channel::Wallpaper)) << c.name;
        EXPECT_TRUE(show.timers.isActive(Channel::Screensaver)) << c.name;
        EXPECT_EQ(show.timers.starts[1], c.partnerStarts) << c.name;
        EXPECT_EQ(show.wallpaper.shown.empty(), c.paused) << c.name << ": a paused show changes nothing";
        EXPECT_EQ(show.runner.firstTick(Channel::Wallpaper), c.paused) << c.name;
    }
}

// Nobody is there to close the report: the channel goes on, the report is not
// repeated, and a newer failure waits for the open box.
TEST(RotationRunner, AnOpenReportHoldsNothingUp)
{
    Show show;
    const std::string good = show.bitmap("b.bmp");
    const std::string lost = show.dir.file("a-lost.bmp");
    show.save({lost, good}, {"/s/one.scr", "/s/two.scr"});

    std::vector<std::optional<std::string>> reports;
    for (int i = 0; i < 6; ++i) {
        reports.push_back(show.turn(Channel::Wallpaper));
        show.turn(Channel::Screensaver);
        show.clock.moment += seconds{1};
    }
    ASSERT_TRUE(reports[0]) << "the first failure is shown";
    EXPECT_NE(reports[0]->find(lost), std::string::npos) << *reports[0];
    for (std::size_t i = 1; i < reports.size(); ++i)
        EXPECT_FALSE(reports[i]) << "turn " << i;
    EXPECT_GE(show.wallpaper.shown.size(), 2u) << "the good picture keeps coming while the report is open";
    EXPECT_EQ(show.screensaver().empty(), false) << "the other channel is not held up";

    // A different failure while the box is still open waits, the newest only.
    std::filesystem::remove(good);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(show.turn(Channel::Wallpaper)) << "one box per channel";
        show.clock.moment += seconds{1};
    }
    EXPECT_FALSE(show.runner.reportClosed(Channel::Screensaver)) << "each channel has its own box";
    const std::optional<std::string> next = show.runner.reportClosed(Channel::Wallpaper);
    ASSERT_TRUE(next) << "the failure that waited is shown when the box closes";
    EXPECT_NE(next->find(good), std::string::npos) << *next;
    EXPECT_FALSE(show.runner.reportClosed(Channel::Wallpaper)) << "nothing else waits";

    // With no box open, a new failure shows at once.
    show.save({show.dir.file("other-lost.bmp")}, {"/s/one.scr"});
    EXPECT_TRUE(show.turn(Channel::Wallpaper));
}

TEST(RotationRunner, CommandsOfALaterCopy)
{
    Show show;
    const std::string a = show.bitmap("a.bmp");
    show.save({a, show.bitmap("b.bmp")}, {"/s/one.scr"}, Unit::Hour, 2);
    show.turn(Channel::Wallpaper);   // the first tick settles the schedule
    show.timers.active = {false, false};
    show.wallpaper.shown.clear();

    const ControlReply next = show.command(ControlCommand::Next);
    EXPECT_EQ(next.status, 0) << next.text;
    EXPECT_EQ(show.wallpaper.shown, std::vector<std::string>{a}) << "changed now, two hours early";
    EXPECT_EQ(ProfileFile(show.project).read("counttime", "sw_no"), "1");
    EXPECT_EQ(show.timers.active, (std::array<bool, 2>{false, false})) << "a change asked for starts no rotation";

    EXPECT_EQ(show.command(ControlCommand::NextScreensaver).status, 0);
    EXPECT_EQ(show.screensaver(), "/s/one.scr");

    EXPECT_EQ(show.command(ControlCommand::Pause).text, "Paused; plimbury --resume goes on");
    EXPECT_TRUE(show.runner.paused());
    EXPECT_TRUE(rotationPaused(*show.store));
    EXPECT_EQ(show.command(ControlCommand::Resume).text, "Resumed");
    EXPECT_FALSE(rotationPaused(*show.store));

    struct Refusal {
        const char* name;
        std::string project;
        std::vector<std::string> wallpapers;
        std::vector<std::string> screensavers;
        ControlCommand command;
        std::string text;   // how the reply begins
    };
    const std::string broken = show.dir.file("broken.jpg");
    const Refusal refusals[] = {
        {"no project", "", {a}, {"/s/one.scr"}, ControlCommand::Next,
         "No project is selected: make one with Save and Run first"},
        {"empty wallpaper list", show.project, {}, {"/s/one.scr"}, ControlCommand::Next,
         "The wallpaper list is empty: there is nothing to change"},
        {"empty screen-saver list", show.project, {a}, {}, ControlCommand::NextScreensaver,
         "The screen-saver list is empty: there is nothing to change"},
        {"a picture that cannot be shown", show.project, {broken}, {"/s/one.scr"}, ControlCommand::Next,
         "Cannot open file \"" + broken + "\". "},
        {"status is the later copy's own", show.project, {a}, {"/s/one.scr"}, ControlCommand::Status,
         "The running copy does not answer --status"},
    };
    for (const Refusal& r : refusals) {
        show.settings[0].lines = r.wallpapers;
        show.settings[1].lines = r.screensavers;
        const ControlReply reply = show.runner.command(r.command, r.project, show.settings);
        EXPECT_EQ(reply.status, 1) << r.name;
        EXPECT_TRUE(reply.text.starts_with(r.text)) << r.name << ": " << reply.text;
    }

    // Without a desktop to change, the wallpaper is refused and the screen saver is not.
    RotationRunner bare{RotationServices{show.store.get(), &show.clock, nullptr, nullptr, {}}, show.timers};
    show.settings[0].lines = {a};
    show.settings[1].lines = {"/s/two.scr"};
    EXPECT_EQ(bare.command(ControlCommand::Next, show.project, show.settings).text,
              "The program cannot change the desktop");
    EXPECT_EQ(bare.command(ControlCommand::NextScreensaver, show.project, show.settings).status, 0);
}

TEST(RotationRunner, ANewShowLiftsThePauseAndTheResumeKeepsIt)
{
    Show show;
    show.save({show.bitmap("a.bmp")}, {"/s/one.scr"});
    show.runner.setPaused(true);
    show.runner.resumeShow();
    EXPECT_EQ(show.timers.active, (std::array<bool, 2>{true, true}));
    EXPECT_TRUE(rotationPaused(*show.store)) << "the resume at start keeps the pause";
    show.runner.stopShow();
    EXPECT_EQ(show.timers.active, (std::array<bool, 2>{false, false}));
    show.runner.runNewShow();
    EXPECT_EQ(show.timers.active, (std::array<bool, 2>{true, true}));
    EXPECT_FALSE(show.runner.paused());
    EXPECT_FALSE(rotationPaused(*show.store)) << "Save and Run starts a show that runs";
}

// The project's display settings reach the desktop and the style values.
TEST(RotationRunner, TheDisplaySettingsGoToTheDesktop)
{
    Show show;
    show.save({show.bitmap("a.bmp")}, {"/s/one.scr"});
    show.runner.setDisplay({MonitorMode::Same, FitMode::Fit, Colour{1, 2, 3}});
    EXPECT_EQ(show.wallpaper.layout, (PictureLayout{FitMode::Fit, Colour{1, 2, 3}}));
    show.turn(Channel::Wallpaper);
    EXPECT_EQ(show.store->openKey(Root::CurrentUser, kDesktopKey)->read("WallPaperStyle"), "6");
}

// A computer that sleeps with the program running: the clock jumps hours,
// days or a year ahead between two ticks. Each channel then changes once
// (when its interval has passed), never once per interval missed, and goes
// on at its interval afterwards.
struct Sleep {
    const char* name;
    Unit unit;
    int count;
    seconds interval;
    seconds sleep;
};

void PrintTo(const Sleep& c, std::ostream* os)
{
    *os << c.name;
}

class LongSleep : public testing::TestWithParam<Sleep> {};

TEST_P(LongSleep, OneChangePerChannelThenTheIntervalAgain)
{
    const Sleep& c = GetParam();
    Show show;
    show.save({show.bitmap("a.bmp"), show.bitmap("b.bmp"), show.bitmap("c.bmp")}, {"/s/one.scr", "/s/two.scr"},
              c.unit, c.count);

    // Changes of both channels over `ticks` turns each, a second apart.
    const auto run = [&](int ticks) {
        int changes = 0;
        std::string shown = show.screensaver();
        const std::size_t before = show.wallpaper.shown.size();
        for (int i = 0; i < ticks; ++i) {
            show.turn(Channel::Wallpaper);
            show.turn(Channel::Screensaver);
            const std::string now = show.screensaver();
            changes += now != shown;
            shown = now;
            show.clock.moment += seconds{1};
        }
        return std::pair{static_cast<int>(show.wallpaper.shown.size() - before), changes};
    };

    run(5);   // whatever the saved schedule makes due at once
    ASSERT_EQ(run(5), (std::pair{0, 0})) << "the schedule settles before the sleep";

    show.clock.moment += c.sleep;
    const int expected = c.sleep >= c.interval ? 1 : 0;
    EXPECT_EQ(run(30), (std::pair{expected, expected})) << "wallpaper and screen-saver changes after the sleep";

    show.clock.moment += c.interval;
    EXPECT_EQ(run(30), (std::pair{1, 1})) << "one interval later";
}

std::string sleepName(const testing::TestParamInfo<Sleep>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Sleeps, LongSleep,
    testing::Values(Sleep{"minutes5_sleep3hours", Unit::Minute, 5, minutes{5}, hours{3}},
                    Sleep{"minutes5_sleep400days", Unit::Minute, 5, minutes{5}, days{400}},
                    Sleep{"hours2_sleep3hours", Unit::Hour, 2, hours{2}, hours{3}},
                    Sleep{"hours2_sleep45days", Unit::Hour, 2, hours{2}, days{45}},
                    Sleep{"days1_sleep3hours", Unit::Day, 1, days{1}, hours{3}},
                    Sleep{"days1_sleep2days", Unit::Day, 1, days{1}, days{2}},
                    Sleep{"days3_sleep45days", Unit::Day, 3, days{3}, days{45}},
                    Sleep{"days3_sleep400days", Unit::Day, 3, days{3}, days{400}}),
    sleepName);

} // namespace
} // namespace plimbury::test
