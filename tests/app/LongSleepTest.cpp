// A computer that sleeps with the program running: the clock jumps hours,
// days or a year ahead between two ticks. Each channel then changes once
// (when its interval has passed), never once per interval missed, and goes
// on at its interval afterwards.

#include "AppHarness.h"

#include "desktop/Wallpaper.h"
#include "platform/ProfileFile.h"
#include "project/ProjectCommands.h"
#include "rotation/Schedule.h"
#include "support/Controls.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

using plimbury::test::control;

namespace plimbury::test {
namespace {

using namespace std::chrono;

class SteppedClock final : public Clock {
public:
    sys_seconds moment = sys_days{2024y / March / 14} + hours{10} + minutes{20};
    LocalTime now() const override
    {
        const sys_days date = floor<days>(moment);
        const year_month_day ymd{date};
        const hh_mm_ss<seconds> time{moment - date};
        return LocalTime{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                         static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
                         static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
    }
};

struct CountingWallpaper final : Wallpaper {
    int changes = 0;
    void setDesktopWallpaper(const std::string&) override { ++changes; }
};

struct Case {
    const char* name;
    Unit unit;
    int count;
    seconds interval;
    seconds sleep;
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

class LongSleep : public testing::TestWithParam<Case> {};

TEST_P(LongSleep, OneChangePerChannelThenTheIntervalAgain)
{
    const Case& c = GetParam();
    SteppedClock clock;
    CountingWallpaper wallpaper;
    AppHarness app;
    app.services.clock = &clock;
    app.services.wallpaper = &wallpaper;

    const std::string project = app.dir.file("show.lmv");
    ProjectState state;
    state.wallpapers = {app.writeBitmap("a.bmp"), app.writeBitmap("b.bmp"), app.writeBitmap("c.bmp")};
    state.screensavers = {"/s/one.scr", "/s/two.scr"};
    const auto unit = static_cast<std::size_t>(c.unit);
    state.wallpaper.enabled[unit] = true;
    state.wallpaper.texts[unit] = std::to_string(c.count);
    state.screensaver = state.wallpaper;
    const LocalTime saved = clock.now();
    saveAndRunProject(project, state, [&](Unit u, std::int32_t n) { return nextDue(u, n, saved); },
                      stampNumberText(saved));
    app.markLaterRun(project);
    TForm1& form = app.start();
    form.Timer7Timer();   // resumes the project into the window
    control<QTimer>(form, "Timer1")->stop();
    control<QTimer>(form, "Timer2")->stop();

    // Changes of both channels over `ticks` turns each, a second apart.
    const auto run = [&](int ticks) {
        int changes = 0;
        std::string shown = ProfileFile(project).read("counttime", "ss_no");
        const int before = wallpaper.changes;
        for (int i = 0; i < ticks; ++i) {
            form.Timer1Timer();
            form.Timer2Timer();
            const std::string now = ProfileFile(project).read("counttime", "ss_no");
            changes += now != shown;
            shown = now;
            clock.moment += seconds{1};
        }
        return std::pair{wallpaper.changes - before, changes};
    };

    run(5);   // whatever the saved schedule makes due at once
    const std::pair quiet = run(5);
    ASSERT_EQ(quiet, (std::pair{0, 0})) << "the schedule settles before the sleep";

    clock.moment += c.sleep;
    const int expected = c.sleep >= c.interval ? 1 : 0;
    EXPECT_EQ(run(30), (std::pair{expected, expected})) << "wallpaper and screen-saver changes after the sleep";

    clock.moment += c.interval;
    EXPECT_EQ(run(30), (std::pair{1, 1})) << "one interval later";
}

std::string caseName(const testing::TestParamInfo<Case>& param)
{
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Sleeps, LongSleep,
    testing::Values(Case{"minutes5_sleep3hours", Unit::Minute, 5, minutes{5}, hours{3}},
                    Case{"minutes5_sleep400days", Unit::Minute, 5, minutes{5}, days{400}},
                    Case{"hours2_sleep3hours", Unit::Hour, 2, hours{2}, hours{3}},
                    Case{"hours2_sleep45days", Unit::Hour, 2, hours{2}, days{45}},
                    Case{"days1_sleep3hours", Unit::Day, 1, days{1}, hours{3}},
                    Case{"days1_sleep2days", Unit::Day, 1, days{1}, days{2}},
                    Case{"days3_sleep45days", Unit::Day, 3, days{3}, days{45}},
                    Case{"days3_sleep400days", Unit::Day, 3, days{3}, days{400}}),
    caseName);

} // namespace
} // namespace plimbury::test
