// Years of running, tick by tick, against real files with the clock
// injected. Three runs, each checking what the others cannot:
//
// Every unit and several counts: both channels through the end of 2023, the
// leap year 2024 and the common year 2025, against a project written by Save
// and Run. The clock moves in irregular strides, finely around every month
// end (where the carries happen) and in long jumps between them (a computer
// that slept), and the program "restarts" at each jump. A model computed with
// the standard calendar says at every tick whether a change is due, which
// entry comes and which due value the file must then hold: a channel that
// stops, skips, changes early or writes a wrong date fails at that tick.
//
// Day intervals beyond half a year, where a due day's month and day alone
// would read as already past.
//
// Three installations, each with both channels on different units, driven
// through 400 days by the real rotation engine and apply steps (file store,
// converted bitmap). Every 30 days the program "restarts": Save rewrites the
// project as the user would, the engine is made afresh and the lists are
// resumed from the file. Over the whole run:
//   - no tick fails and no channel stops: every change comes within its
//     interval plus one clock stride, in list order;
//   - the project file keeps its keys and its size (no growth);
//   - the heap holds no more at day 400 than at day 100, and no temporary
//     file is left behind.

#include "ReliabilitySupport.h"

#include "imaging/Jpeg.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/NumberRule.h"
#include "project/ProjectCommands.h"
#include "rotation/ApplySteps.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"
#include "support/FakeClock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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
using test::localTimeOf;

IntervalGroup every(Unit unit, int count)
{
    IntervalGroup group;
    group.enabled[static_cast<std::size_t>(unit)] = true;
    group.texts[static_cast<std::size_t>(unit)] = std::to_string(count);
    return group;
}

// Save and Run at `saved`, as the window does it.
void saveAndRunAt(const std::string& path, const ProjectState& state, const LocalTime& saved)
{
    saveAndRunProject(
        path, state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, saved); }, stampNumberText(saved));
}

const std::vector<std::string> kPictures = {"/pictures/a.jpg", "/pictures/b.bmp", "/pictures/c.jpg"};
const std::vector<std::string> kSavers = {"/savers/one.scr", "/savers/two.scr"};

// Both channels on the same interval.
ProjectState bothEvery(Unit unit, int count)
{
    ProjectState state;
    state.wallpapers = kPictures;
    state.screensavers = kSavers;
    state.wallpaper = every(unit, count);
    state.screensaver = state.wallpaper;
    return state;
}

// ---- every unit, through two calendar years ------------------------------------

Minutes timeOf(int y, unsigned m, unsigned d, int hour = 0, int minute = 0)
{
    return sys_days{year{y} / month{m} / day{d}} + hours{hour} + minutes{minute};
}

std::int64_t expectedStamp(Minutes t)
{
    const LocalTime l = localTimeOf(t);
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

class YearOfTicksByInterval : public testing::TestWithParam<Config> {};

TEST_P(YearOfTicksByInterval, EveryDueChangeHappensOnTimeAndNoChannelStops)
{
    const Config config = GetParam();

    // Thousands of atomic replacements.
    const auto dir = test::memoryTempDir();
    const std::string path = dir->file("year.lmv");

    const ProjectState state = bothEvery(config.unit, config.count);
    const Minutes start = timeOf(2023, 12, 31, 12, 7);
    const Minutes end = timeOf(2026, 1, 1, 12, 0);
    saveAndRunAt(path, state, localTimeOf(start));

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
                files, path, ChannelInput{side->lines, side->group, apply}, side->firstTick, localTimeOf(now));
            ASSERT_EQ(result.failure, std::nullopt) << *result.failure;
            ASSERT_FALSE(side->firstTick);
            ASSERT_EQ(side->applied.size(), appliedBefore + (due ? 1 : 0))
                << side->channel.keys().index << " at " << formatStamp(localTimeOf(now));
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
                    << formatStamp(localTimeOf(now));
            } else {
                ASSERT_EQ(toInt64(file.read(kScheduleSection, keys.dueStamp)), expectedStamp(side->model.due))
                    << formatStamp(localTimeOf(now));
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

INSTANTIATE_TEST_SUITE_P(Intervals, YearOfTicksByInterval,
                         testing::Values(Config{Unit::Minute, 1}, Config{Unit::Minute, 7}, Config{Unit::Minute, 31},
                                         Config{Unit::Minute, 60}, Config{Unit::Hour, 1}, Config{Unit::Hour, 5},
                                         Config{Unit::Hour, 24}, Config{Unit::Day, 1}, Config{Unit::Day, 3},
                                         Config{Unit::Day, 31}),
                         describe);

// The clock ticks every few hours, the program restarts now and then, and
// the computer is sometimes off for a few days.
class YearOfTicksLongDayIntervals : public testing::TestWithParam<int> {};

TEST_P(YearOfTicksLongDayIntervals, ChangeOnceAnIntervalNeverMore)
{
    const int count = GetParam();
    const auto dir = test::memoryTempDir();
    const std::string path = dir->file("years.lmv");

    const ProjectState state = bothEvery(Unit::Day, count);
    const Minutes start = timeOf(2023, 12, 31, 12, 7);
    const Minutes end = timeOf(2026, 3, 1);
    saveAndRunAt(path, state, localTimeOf(start));

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
                                                     c.firstTick, localTimeOf(now));
            ASSERT_EQ(result.failure, std::nullopt) << *result.failure;
            ASSERT_EQ(applied.size(), due ? 1u : 0u) << c.channel.keys().index << " at " << formatStamp(localTimeOf(now));
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

INSTANTIATE_TEST_SUITE_P(Days, YearOfTicksLongDayIntervals, testing::Values(183, 200, 365, 366), dayName);

// ---- 400 days of installations -------------------------------------------------

constexpr std::int64_t kMinutesPerDay = 24 * 60;
constexpr int kDays = 400;
constexpr int kDaysPerRun = 30;
// Strides of the clock, in minutes, taken in turn: uneven so the ticks fall on
// every minute of the hour and every hour of the day over the year.
constexpr std::array<std::int64_t, 6> kStrides = {7, 23, 41, 59, 97, 13};
constexpr std::int64_t kLongestStride = 97;

std::int64_t intervalMinutes(const IntervalGroup& group)
{
    for (std::size_t i = 0; i < 3; ++i) {
        if (group.enabled[i])
            return std::stoll(group.texts[i]) * (i == 0 ? 1 : i == 1 ? 60 : kMinutesPerDay);
    }
    return 0;
}

// Hands the picture over without keeping a history: the soak watches the heap.
class CountingWallpaper final : public Wallpaper {
public:
    void setDesktopWallpaper(const std::string& path) override
    {
        last = path;
        ++count;
    }
    std::string last;
    std::int64_t count = 0;
};

// What one channel did, in constant space.
struct ChannelWatch {
    std::int64_t interval = 0;          // minutes
    std::int64_t changes = 0;
    std::int64_t lastChange = -1;       // wall minutes
    std::int64_t longestGap = 0;
    std::int64_t firstDue = -1;         // wall minutes of the first due moment
    std::size_t expectedNext = 0;       // index of the entry that must come next
    bool outOfOrder = false;

    void changed(std::int64_t now, std::size_t index, std::size_t size)
    {
        if (lastChange >= 0)
            longestGap = std::max(longestGap, now - lastChange);
        if (changes > 0 && index != expectedNext)
            outOfOrder = true;
        expectedNext = (index + 1) % size;
        lastChange = now;
        ++changes;
    }
};

class Installation {
public:
    Installation(const std::string& folder, std::vector<std::string> pictures, IntervalGroup wallpaper,
                 std::vector<std::string> screensavers, IntervalGroup screensaver, const LocalTime& start)
        : m_folder(folder)
        , m_project(folder + "/show.lmv")
        , m_store(makeFileStore(folder + "/registry"))
    {
        m_state.wallpapers = std::move(pictures);
        m_state.screensavers = std::move(screensavers);
        m_state.wallpaper = wallpaper;
        m_state.screensaver = screensaver;
        m_watch[0].interval = intervalMinutes(wallpaper);
        m_watch[1].interval = intervalMinutes(screensaver);
        saveAndRunAt(m_project, m_state, start);
        recordSelectedProject(*m_store, m_project);
        restart();
    }

    // The end of a run: the window's Save, then a program start resuming the project.
    void saveAndRestart()
    {
        saveProject(m_project, m_state);
        restart();
    }

    void tick(const LocalTime& now)
    {
        const std::int64_t minutes = wallMinutes(now);
        const std::string bitmap = wallpaperBitmapPath(m_folder);
        const ApplyStep wallpaper = [&](const std::string& entry) {
            applyWallpaper(entry, *m_store, m_desktop, bitmap);
            m_watch[0].changed(minutes, indexOf(m_lines[0], entry), m_lines[0].size());
        };
        const ApplyStep screensaver = [&](const std::string& entry) {
            applyScreensaver(entry, *m_store);
            m_watch[1].changed(minutes, indexOf(m_lines[1], entry), m_lines[1].size());
        };
        for (const auto& result :
             {m_engine->wallpaper.tick(m_engine->files, m_project, {m_lines[0], m_state.wallpaper, wallpaper},
                                       m_firstTick[0], now),
              m_engine->screensaver.tick(m_engine->files, m_project, {m_lines[1], m_state.screensaver, screensaver},
                                         m_firstTick[1], now)}) {
            if (result.failure) {
                ++m_failures;
                m_lastFailure = *result.failure;
            }
        }
    }

    const ChannelWatch& watch(int channel) const { return m_watch[static_cast<std::size_t>(channel)]; }
    std::int64_t failures() const { return m_failures; }
    const std::string& lastFailure() const { return m_lastFailure; }
    const std::string& project() const { return m_project; }
    const std::string& folder() const { return m_folder; }

private:
    static std::size_t indexOf(const std::vector<std::string>& lines, const std::string& entry)
    {
        return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), entry) - lines.begin());
    }

    void restart()
    {
        m_engine = std::make_unique<RotationEngine>();
        m_firstTick = {true, true};
        const LoadedProject loaded = loadProject(m_project);
        m_lines = {loaded.wallpapers, loaded.screensavers};
    }

    std::string m_folder;
    std::string m_project;
    std::unique_ptr<Store> m_store;
    CountingWallpaper m_desktop;
    ProjectState m_state;
    std::unique_ptr<RotationEngine> m_engine;
    std::array<bool, 2> m_firstTick{};
    std::array<std::vector<std::string>, 2> m_lines;
    std::array<ChannelWatch, 2> m_watch;
    std::int64_t m_failures = 0;
    std::string m_lastFailure;
};

// Section and key names in file order: the file's shape without its values.
std::vector<std::string> keyNames(const std::string& text)
{
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(at, end - at);
        names.push_back(line.substr(0, line.find('=')));
        at = text.find_first_not_of("\r\n", end);
        if (at == std::string::npos)
            break;
    }
    return names;
}

TEST(YearOfTicks, BothChannelsOfSeveralInstallationsRunFor400Days)
{
    const auto dir = test::memoryTempDir();
    const std::string base = dir->path().string();

    // JPEGs are converted at every turn, bitmaps handed over as they are. A
    // conversion costs as much as a thousand quiet ticks, so the channel that
    // changes most often shows bitmaps only.
    const std::string pictures = base + "/pictures";
    std::filesystem::create_directory(pictures);
    std::vector<std::string> jpegs;
    std::vector<std::string> bitmaps;
    for (int i = 0; i < 3; ++i) {
        jpegs.push_back(pictures + "/p" + std::to_string(i) + ".jpg");
        test::writeFile(jpegs.back(), test::makeJpeg(48 + 8 * i, 32, i));
        bitmaps.push_back(pictures + "/q" + std::to_string(i) + ".bmp");
        convertJpegToBmp(jpegs.back(), bitmaps.back());
    }
    const std::vector<std::string> mixed = {jpegs[0], jpegs[1], bitmaps[0], bitmaps[1]};
    const std::vector<std::string> screensavers = {"/usr/lib/xscreensaver/a.scr", "/usr/lib/xscreensaver/b.scr",
                                                   "/usr/lib/xscreensaver/c.scr"};

    struct Plan {
        const char* name;
        std::vector<std::string> wallpapers;
        IntervalGroup wallpaper;
        IntervalGroup screensaver;
    };
    const Plan plans[] = {
        {"a", bitmaps, every(Unit::Minute, 50), every(Unit::Hour, 3)},
        {"b", mixed, every(Unit::Hour, 7), every(Unit::Day, 2)},
        {"c", jpegs, every(Unit::Day, 1), every(Unit::Minute, 60)},
    };

    const LocalTime start{2023, 11, 28, 21, 37, 0};   // through a new year and 29 February 2024
    const std::int64_t startMinutes = wallMinutes(start);
    std::vector<std::unique_ptr<Installation>> installations;
    for (const Plan& plan : plans) {
        const std::string folder = base + "/" + plan.name;
        std::filesystem::create_directory(folder);
        installations.push_back(std::make_unique<Installation>(folder, plan.wallpapers, plan.wallpaper, screensavers,
                                                               plan.screensaver, start));
    }

    std::vector<std::string> shapeAfterFirstRun;
    std::vector<std::uintmax_t> sizeAfterFirstRun;
    std::int64_t heapAtDay100 = 0;
    std::int64_t now = startMinutes;
    std::size_t stride = 0;
    std::int64_t ticks = 0;
    for (int day = 1; day <= kDays; ++day) {
        const std::int64_t dayEnd = startMinutes + day * kMinutesPerDay;
        while (now < dayEnd) {
            for (auto& installation : installations)
                installation->tick(fromWallMinutes(now));
            ++ticks;
            now += kStrides[stride++ % kStrides.size()];
        }
        if (day % kDaysPerRun == 0) {
            for (auto& installation : installations)
                installation->saveAndRestart();
            if (day == kDaysPerRun) {
                for (auto& installation : installations) {
                    const std::string text = test::readFile(installation->project());
                    shapeAfterFirstRun.push_back(std::string());
                    for (const std::string& name : keyNames(text))
                        shapeAfterFirstRun.back() += name + "\n";
                    sizeAfterFirstRun.push_back(text.size());
                }
            }
        }
        if (day == 100)
            heapAtDay100 = test::liveHeapBytes();
    }
    const std::int64_t heapAtDay400 = test::liveHeapBytes();
    const std::int64_t elapsed = now - startMinutes;

    for (std::size_t i = 0; i < installations.size(); ++i) {
        const Installation& in = *installations[i];
        SCOPED_TRACE(plans[i].name);
        EXPECT_EQ(in.failures(), 0) << in.lastFailure();
        for (int channel = 0; channel < 2; ++channel) {
            SCOPED_TRACE(channel == 0 ? "wallpaper" : "screen saver");
            const ChannelWatch& w = in.watch(channel);
            EXPECT_FALSE(w.outOfOrder);
            // A change is due one interval after the last one and comes with
            // the first tick at or after that moment.
            EXPECT_LE(w.longestGap, w.interval + kLongestStride);
            // Stopped channels make no changes at the end either.
            EXPECT_GE(w.lastChange, now - w.interval - kLongestStride);
            EXPECT_GE(w.changes, elapsed / (w.interval + kLongestStride));
            EXPECT_LE(w.changes, elapsed / w.interval + 1);
        }
        const std::string text = test::readFile(in.project());
        std::string shape;
        for (const std::string& name : keyNames(text))
            shape += name + "\n";
        EXPECT_EQ(shape, shapeAfterFirstRun[i]) << "the project file's keys changed";
        // Values change length by a digit or two (stamps, the index), never more.
        EXPECT_LE(text.size(), sizeAfterFirstRun[i] + 8);
        const bool converts = std::any_of(plans[i].wallpapers.begin(), plans[i].wallpapers.end(),
                                          [](const std::string& p) { return p.ends_with(".jpg"); });
        EXPECT_EQ(test::filesIn(in.folder()),
                  converts ? (std::vector<std::string>{"lumavue.bmp", "registry", "show.lmv"})
                           : (std::vector<std::string>{"registry", "show.lmv"}));
        EXPECT_EQ(test::filesIn(in.folder() + "/registry"),
                  (std::vector<std::string>{"HKEY_CURRENT_USER.ini", "HKEY_LOCAL_MACHINE.ini"}));
    }
    // The engine, the stores and the parse caches keep what they keep; a
    // year of changes adds nothing to it.
    EXPECT_LE(heapAtDay400 - heapAtDay100, 4096) << "heap at day 100: " << heapAtDay100
                                                 << ", at day 400: " << heapAtDay400;
    RecordProperty("ticks", static_cast<int>(ticks * 2 * static_cast<std::int64_t>(installations.size())));
}

} // namespace
} // namespace plimbury
