// A year of running, and a bit: three installations, each with both channels
// on different units, driven through 400 days by the real rotation engine
// against real files (project file, file store, converted bitmap) with the
// clock injected and strided. Every 30 days the program "restarts": Save
// rewrites the project as the user would, the engine is made afresh and the
// lists are resumed from the file. Over the whole run:
//   - no tick fails and no channel stops: every change comes within its
//     interval plus one clock stride, in list order;
//   - the project file keeps its keys and its size (no growth);
//   - the heap holds no more at day 400 than at day 100, and no temporary
//     file is left behind.

#include "ReliabilitySupport.h"

#include "imaging/Jpeg.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/ProjectCommands.h"
#include "rotation/ApplySteps.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plimbury {
namespace {

constexpr std::int64_t kMinutesPerDay = 24 * 60;
constexpr int kDays = 400;
constexpr int kDaysPerRun = 30;
// Strides of the clock, in minutes, taken in turn: uneven so the ticks fall on
// every minute of the hour and every hour of the day over the year.
constexpr std::array<std::int64_t, 6> kStrides = {7, 23, 41, 59, 97, 13};
constexpr std::int64_t kLongestStride = 97;

IntervalGroup every(Unit unit, int count)
{
    IntervalGroup group;
    group.enabled[static_cast<std::size_t>(unit)] = true;
    group.texts[static_cast<std::size_t>(unit)] = std::to_string(count);
    return group;
}

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
        saveAndRunProject(m_project, m_state, [&](Unit unit, std::int32_t n) { return nextDue(unit, n, start); },
                          formatStamp(start));
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
