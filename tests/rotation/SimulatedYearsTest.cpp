// Both channels run tick by tick through the end of 2023, the leap year 2024
// and the common year 2025, against a real project file written by Save and
// Run. The clock moves in irregular strides, finely around every month end
// (where the carries happen) and in long jumps between them (a computer that
// slept), and the program "restarts" at each jump. A model computed with the
// standard calendar says at every tick whether a change is due, which entry
// comes and which due value the file must then hold: a channel that stops,
// skips, changes early or writes a wrong date fails at that tick.

#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"

#include "project/NumberRule.h"
#include "project/ProjectCommands.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace plimbury {
namespace {

using namespace std::chrono;
using Minutes = sys_time<minutes>;

Minutes timeOf(int y, unsigned m, unsigned d, int hour = 0, int minute = 0)
{
    return sys_days{year{y} / month{m} / day{d}} + hours{hour} + minutes{minute};
}

LocalTime localOf(Minutes t)
{
    const sys_days date = floor<days>(t);
    const year_month_day ymd{date};
    const hh_mm_ss<minutes> time{t - date};
    return LocalTime{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                     static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
                     static_cast<int>(time.minutes().count()), 0};
}

std::int64_t expectedStamp(Minutes t)
{
    const LocalTime l = localOf(t);
    return std::int64_t{l.year % 100} * 100000000 + l.month * 1000000 + l.day * 10000 + l.hour * 100 + l.minute;
}

std::int64_t expectedDayStamp(sys_days d)
{
    const year_month_day ymd{d};
    return static_cast<unsigned>(ymd.month()) * 100 + static_cast<unsigned>(ymd.day());
}

struct Config {
    Unit unit;
    int count;
};

std::string describe(const testing::TestParamInfo<Config>& info)
{
    return std::string(unitWord(info.param.unit)) + std::to_string(info.param.count);
}

// What one channel should do, computed without the code under test.
struct Model {
    Unit unit;
    int count;
    std::size_t lines;
    Minutes due{};           // minute and hour units
    sys_days dueDay{};       // day unit
    std::size_t index = 0;

    bool isDue(Minutes now) const { return unit == Unit::Day ? floor<days>(now) >= dueDay : now >= due; }
    void changed(Minutes now)
    {
        index = (index + 1) % lines;
        if (unit == Unit::Minute)
            due = now + minutes{count};
        else if (unit == Unit::Hour)
            due = now + hours{count};
        else
            dueDay = floor<days>(now) + days{count};
    }
};

struct Side {
    RotationChannel channel;
    std::vector<std::string> lines;
    IntervalGroup group;
    Model model;
    bool firstTick = true;
    std::vector<std::string> applied;
    int changes = 0;
};

class SimulatedYears : public testing::TestWithParam<Config> {};

TEST_P(SimulatedYears, EveryDueChangeHappensOnTimeAndNoChannelStops)
{
    const Config config = GetParam();
    const auto u = static_cast<std::size_t>(config.unit);

    // Thousands of atomic replacements: on a memory file system when there is one.
    const test::ScopedEnv tmp("TMPDIR", std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : std::getenv("TMPDIR"));
    const test::TempDir dir;
    const std::string path = dir.file("year.lmv");

    ProjectState state;
    state.wallpapers = {"/pictures/a.jpg", "/pictures/b.bmp", "/pictures/c.jpg"};
    state.screensavers = {"/savers/one.scr", "/savers/two.scr"};
    state.wallpaper.enabled[u] = true;
    state.wallpaper.texts[u] = std::to_string(config.count);
    state.screensaver = state.wallpaper;

    const Minutes start = timeOf(2023, 12, 31, 12, 7);
    const Minutes end = timeOf(2026, 1, 1, 12, 0);
    const LocalTime saved = localOf(start);
    saveAndRunProject(
        path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); }, stampNumberText(saved));

    auto makeSide = [&](ChannelKeys keys, const std::vector<std::string>& lines) {
        auto side = std::make_unique<Side>(Side{RotationChannel(std::move(keys)), lines, state.wallpaper,
                                                Model{config.unit, config.count, lines.size()}, true, {}, 0});
        side->model.due = start;
        side->model.dueDay = floor<days>(start);
        side->model.changed(start); // the first due value Save and Run wrote
        side->model.index = 0;
        return side;
    };
    std::unique_ptr<Side> sides[] = {makeSide(wallpaperChannelKeys(), state.wallpapers),
                                     makeSide(screensaverChannelKeys(), state.screensavers)};

    // Fine strides within a window around each month's first minute, long jumps between.
    const std::int64_t perUnit = config.unit == Unit::Minute ? 1 : config.unit == Unit::Hour ? 60 : 1440;
    const minutes halfWindow{config.unit == Unit::Day ? (2 * config.count + 2) * 1440
                                                       : (3 * config.count + 2) * perUnit + 5};
    const std::int64_t maxStride =
        config.unit == Unit::Minute ? std::max(1, config.count / 3) : config.unit == Unit::Hour ? 20 * config.count : 360;
    std::vector<Minutes> boundaries;
    for (int y = 2024; y <= 2026; ++y)
        for (unsigned m = 1; m <= 12 && timeOf(y, m, 1) <= end; ++m)
            boundaries.push_back(timeOf(y, m, 1));

    ProjectFileCache files;
    std::uint32_t random = 12345;
    std::size_t next = 0;
    int ticks = 0;
    for (Minutes now = start; now < end;) {
        for (auto& side : sides) {
            const bool due = side->model.isDue(now);
            const ApplyStep apply = [&](const std::string& entry) { side->applied.push_back(entry); };
            const std::size_t appliedBefore = side->applied.size();
            const TickResult result = side->channel.tick(
                files, path, ChannelInput{side->lines, side->group, apply}, side->firstTick, localOf(now));
            ASSERT_EQ(result.failure, std::nullopt) << *result.failure;
            ASSERT_FALSE(side->firstTick);
            ASSERT_EQ(side->applied.size(), appliedBefore + (due ? 1 : 0))
                << side->channel.keys().index << " at " << formatStamp(localOf(now));
            if (!due)
                continue;
            ASSERT_EQ(side->applied.back(), side->lines[side->model.index]);
            side->model.changed(now);
            ++side->changes;

            const ProfileFile file(path);
            const ChannelKeys& keys = side->channel.keys();
            ASSERT_EQ(toInt32(file.read(kScheduleSection, keys.index)), static_cast<std::int32_t>(side->model.index));
            if (config.unit == Unit::Day) {
                ASSERT_EQ(toInt64(file.read(kScheduleSection, keys.dueDay)), expectedDayStamp(side->model.dueDay))
                    << formatStamp(localOf(now));
            } else {
                ASSERT_EQ(toInt64(file.read(kScheduleSection, keys.dueStamp)), expectedStamp(side->model.due))
                    << formatStamp(localOf(now));
            }
        }
        ++ticks;

        while (next < boundaries.size() && boundaries[next] + halfWindow < now)
            ++next;
        random = random * 1664525u + 1013904223u;
        const Minutes stepped = now + minutes{1 + static_cast<std::int64_t>(random >> 8) % maxStride};
        if (next < boundaries.size() && stepped < boundaries[next] - halfWindow) {
            // A long sleep, then a fresh program start.
            now = boundaries[next] - halfWindow;
            for (auto& side : sides)
                side->firstTick = true;
        } else {
            now = stepped;
        }
    }

    // At least one change per window, or per interval where the windows merge.
    const auto intervals = static_cast<int>((end - start).count() / (config.count * perUnit));
    const int atLeast = std::min(static_cast<int>(boundaries.size()), intervals) - 1;
    for (auto& side : sides) {
        EXPECT_GE(side->changes, atLeast) << side->channel.keys().index;
        // Every entry came up in its turn.
        for (std::size_t i = 0; i < side->applied.size(); ++i)
            ASSERT_EQ(side->applied[i], side->lines[i % side->lines.size()]);
    }
    // The rest of the project is untouched and still loads.
    const LoadedProject loaded = loadProject(path);
    EXPECT_EQ(loaded.wallpapers, state.wallpapers);
    EXPECT_EQ(loaded.screensavers, state.screensavers);
    ASSERT_TRUE(loaded.wallpaperInterval.has_value());
    EXPECT_EQ(loaded.wallpaperInterval->first, config.unit);
    RecordProperty("ticks", ticks);
}

INSTANTIATE_TEST_SUITE_P(Intervals, SimulatedYears,
                         testing::Values(Config{Unit::Minute, 1}, Config{Unit::Minute, 7}, Config{Unit::Minute, 31},
                                         Config{Unit::Minute, 60}, Config{Unit::Hour, 1}, Config{Unit::Hour, 5},
                                         Config{Unit::Hour, 24}, Config{Unit::Day, 1}, Config{Unit::Day, 3},
                                         Config{Unit::Day, 31}),
                         describe);

// Day intervals beyond half a year, where a due day's month and day alone
// would read as already past. Both channels run from a Save and Run on 31
// December 2023 through the leap year 2024 and the common year 2025, the
// clock ticking every few hours, the program restarting now and then, and the
// computer sometimes off for a few days.
class LongDayIntervals : public testing::TestWithParam<int> {};

TEST_P(LongDayIntervals, ChangeOnceAnIntervalNeverMore)
{
    const int count = GetParam();
    const test::TempDir dir;
    const std::string path = dir.file("years.lmv");

    ProjectState state;
    state.wallpapers = {"/pictures/a.jpg", "/pictures/b.bmp", "/pictures/c.jpg"};
    state.screensavers = {"/savers/one.scr", "/savers/two.scr"};
    state.wallpaper.enabled[static_cast<std::size_t>(Unit::Day)] = true;
    state.wallpaper.texts[static_cast<std::size_t>(Unit::Day)] = std::to_string(count);
    state.screensaver = state.wallpaper;

    const Minutes start = timeOf(2023, 12, 31, 12, 7);
    const Minutes end = timeOf(2026, 3, 1);
    const LocalTime saved = localOf(start);
    saveAndRunProject(
        path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); }, stampNumberText(saved));

    struct Channel {
        RotationChannel channel;
        std::vector<std::string> lines;
        sys_days dueDay{};
        std::size_t index = 0;
        bool firstTick = true;
        std::vector<sys_days> changes;
    };
    std::vector<Channel> channels;
    for (auto [keys, lines] : {std::pair{wallpaperChannelKeys(), state.wallpapers},
                               std::pair{screensaverChannelKeys(), state.screensavers}}) {
        // Save and Run gives the wallpaper channel the moment of saving as the
        // start of its interval. A channel it leaves without one has a due day
        // without a year, which reads as already past: its first change comes
        // at once.
        const bool started = toInt64(ProfileFile(path).read(kScheduleSection, keys.dueStamp)) == expectedStamp(start);
        const sys_days first = floor<days>(start) + days{started ? count : 0};
        channels.push_back(Channel{RotationChannel(std::move(keys)), lines, first, 0, true, {}});
    }

    ProjectFileCache files;
    std::uint32_t random = 2024u + static_cast<std::uint32_t>(count);
    int sleeps = 0;
    for (Minutes now = start; now < end;) {
        const sys_days today = floor<days>(now);
        for (Channel& c : channels) {
            const bool due = today >= c.dueDay;
            std::vector<std::string> applied;
            const ApplyStep apply = [&](const std::string& entry) { applied.push_back(entry); };
            const TickResult result = c.channel.tick(files, path, ChannelInput{c.lines, state.wallpaper, apply},
                                                     c.firstTick, localOf(now));
            ASSERT_EQ(result.failure, std::nullopt) << *result.failure;
            ASSERT_EQ(applied.size(), due ? 1u : 0u) << c.channel.keys().index << " at " << formatStamp(localOf(now));
            if (!due)
                continue;
            ASSERT_EQ(applied.front(), c.lines[c.index]);
            c.index = (c.index + 1) % c.lines.size();
            c.dueDay = today + days{count};
            c.changes.push_back(today);
            // The due day key keeps its year-less meaning for every other reader.
            ASSERT_EQ(toInt64(ProfileFile(path).read(kScheduleSection, c.channel.keys().dueDay)),
                      expectedDayStamp(c.dueDay));
        }

        random = random * 1664525u + 1013904223u;
        if ((random >> 8) % 499 == 0) {
            // Off for a few days, then a fresh program start.
            now += days{2 + (random >> 16) % 3};
            ++sleeps;
            for (Channel& c : channels)
                c.firstTick = true;
        } else {
            if ((random >> 8) % 89 == 0) {
                for (Channel& c : channels)
                    c.firstTick = true;
            }
            now += minutes{1 + (random >> 12) % 360};
        }
    }

    EXPECT_GT(sleeps, 3);
    const auto span = static_cast<int>((floor<days>(end) - floor<days>(start)).count());
    for (const Channel& c : channels) {
        EXPECT_GE(static_cast<int>(c.changes.size()), span / (count + 5)) << c.channel.keys().index;
        for (std::size_t i = 1; i < c.changes.size(); ++i)
            EXPECT_GE((c.changes[i] - c.changes[i - 1]).count(), count) << c.channel.keys().index;
    }
}

std::string dayName(const testing::TestParamInfo<int>& param)
{
    return "day" + std::to_string(param.param);
}

INSTANTIATE_TEST_SUITE_P(Days, LongDayIntervals, testing::Values(183, 200, 365, 366), dayName);

} // namespace
} // namespace plimbury
