#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"

#include "platform/Error.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace plimbury {
namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

LocalTime at(int year, int month, int day, int hour = 0, int minute = 0)
{
    return LocalTime{year, month, day, hour, minute, 0};
}

IntervalGroup interval(std::optional<Unit> unit, const char* text)
{
    IntervalGroup group;
    if (unit) {
        group.enabled[static_cast<std::size_t>(*unit)] = true;
        group.texts[static_cast<std::size_t>(*unit)] = text;
    }
    return group;
}

std::string projectText(const Keys& keys)
{
    std::string text = "[counttime]\r\n";
    for (const auto& [key, value] : keys)
        text += key + "=" + value + "\r\n";
    return text + "[countitem]\r\nswcount=2\r\n";
}

std::string readKey(const std::string& path, const std::string& key)
{
    return ProfileFile(path).read(kScheduleSection, key);
}

// Runs ticks of one channel against a real project file in a fresh folder,
// with an apply step that records its entries or fails on demand.
class ChannelRig {
    test::TempDir m_dir; // first: the path below is made from it

public:
    explicit ChannelRig(bool screensaver)
        : m_channel(screensaver ? screensaverChannelKeys() : wallpaperChannelKeys())
    {
    }

    std::string path = m_dir.file("show.lmv");
    ProjectFileCache files;
    std::vector<std::string> applied;
    std::optional<std::string> failWith;                 // every entry fails with it
    std::map<std::string, std::string> failing;          // entry -> its error

    TickResult tick(const std::vector<std::string>& lines, const IntervalGroup& group, bool& firstTick,
                    const LocalTime& now)
    {
        const ApplyStep apply = [this](const std::string& entry) {
            if (failWith)
                throw Error(*failWith);
            if (const auto it = failing.find(entry); it != failing.end())
                throw Error(it->second);
            applied.push_back(entry);
        };
        return m_channel.tick(files, path, ChannelInput{lines, group, apply}, firstTick, now);
    }

private:
    RotationChannel m_channel;
};

struct TickCase {
    const char* what;
    bool screensaver;
    Keys before;
    std::optional<Unit> unit;
    const char* count;
    std::vector<std::string> lines;
    bool firstTick;
    LocalTime now;
    const char* applyFails; // the apply step's error, or nullptr
    // expected
    std::vector<std::string> applied;
    Keys after;             // keys that must hold these texts ({} with unchanged)
    bool unchanged;         // the file stays byte for byte
    const char* failure;    // nullptr: the tick succeeds
    bool firstTickAfter;
};

void PrintTo(const TickCase& c, std::ostream* os)
{
    *os << c.what;
}

const Keys kWallDueAt1025{{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2403141025"}};
const std::vector<std::string> kTwo{"C:\\Pictures\\beach.jpg", "C:\\Pictures\\hills.bmp"};

const TickCase kTickCases[] = {
    {"due: the entry at the index is applied, index and due move on", false, kWallDueAt1025, Unit::Minute,
     "5", kTwo, false, at(2024, 3, 14, 10, 25), nullptr, {kTwo[0]},
     {{"sw_no", "1"}, {"setup_sw_minute", "2403141030"}, {"setup_swminute", "0"}}, false, nullptr, false},
    {"not due: nothing written", false, kWallDueAt1025, Unit::Minute, "5", kTwo, false,
     at(2024, 3, 14, 10, 24), nullptr, {}, {}, true, nullptr, false},
    {"the last entry wraps to 0", false, {{"sw_no", "1"}, {"setup_swminute", "0"}, {"setup_sw_minute", "0"}},
     Unit::Minute, "5", kTwo, false, at(2024, 3, 14, 10, 25), nullptr, {kTwo[1]},
     {{"sw_no", "0"}, {"setup_sw_minute", "2403141030"}}, false, nullptr, false},
    {"an index past the end starts again at 0", false,
     {{"sw_no", "5"}, {"setup_swminute", "0"}, {"setup_sw_minute", ""}}, Unit::Minute, "5", kTwo, false,
     at(2024, 3, 14, 10, 25), nullptr, {kTwo[0]}, {{"sw_no", "1"}}, false, nullptr, false},
    {"a negative index starts again at 0", false,
     {{"sw_no", "-1"}, {"setup_swminute", "0"}, {"setup_sw_minute", ""}}, Unit::Minute, "5", kTwo, false,
     at(2024, 3, 14, 10, 25), nullptr, {kTwo[0]}, {{"sw_no", "1"}}, false, nullptr, false},
    {"an empty entry is skipped: index moves, due stays", false, kWallDueAt1025, Unit::Minute, "5",
     {"", kTwo[1]}, false, at(2024, 3, 14, 10, 25), nullptr, {},
     {{"sw_no", "1"}, {"setup_sw_minute", "2403141025"}}, false, nullptr, false},
    {"only empty entries: nothing to do", false, kWallDueAt1025, Unit::Minute, "5", {"", ""}, false,
     at(2024, 3, 14, 10, 25), nullptr, {}, {}, true, nullptr, false},
    {"an empty list: nothing to do", false, kWallDueAt1025, Unit::Minute, "5", {}, false,
     at(2024, 3, 14, 10, 25), nullptr, {}, {}, true, nullptr, false},
    {"no unit box enabled: nothing to do", false, kWallDueAt1025, std::nullopt, "", kTwo, true,
     at(2024, 3, 14, 10, 25), nullptr, {}, {}, true, nullptr, true},
    {"a failing entry takes its turn: index and due move on", false, kWallDueAt1025, Unit::Minute, "5",
     kTwo, false, at(2024, 3, 14, 10, 25), "JPEG error #42", {},
     {{"sw_no", "1"}, {"setup_sw_minute", "2403141030"}, {"setup_swminute", "0"}}, false, "JPEG error #42",
     false},
    {"a failing entry, day unit: the due day moves on", false,
     {{"sw_no", "0"}, {"setup_swminute", "314"}, {"setup_sw_minute", "2403101020"}}, Unit::Day, "3", kTwo,
     false, at(2024, 3, 14, 9, 0), "JPEG error #42", {},
     {{"sw_no", "1"}, {"setup_swminute", "0317"}, {"setup_sw_minute", "2403101020"}}, false, "JPEG error #42",
     false},
    {"a failing entry, screen saver minute: both keys move on", true,
     {{"ss_no", "0"}, {"screensaver_setup_swminute", "2403141025"},
      {"screensaver_setup_sw_minute", "2403141025"}},
     Unit::Minute, "15", kTwo, false, at(2024, 3, 14, 10, 50), "Failed to set data for 'SCRNSAVE.EXE'", {},
     {{"ss_no", "1"}, {"screensaver_setup_sw_minute", "2403141105"}, {"screensaver_setup_swminute", "2403141105"}},
     false, "Failed to set data for 'SCRNSAVE.EXE'", false},
    {"screen saver, minute: the due stamp goes to both keys", true,
     {{"ss_no", "0"}, {"screensaver_setup_swminute", "2403141025"},
      {"screensaver_setup_sw_minute", "2403141025"}},
     Unit::Minute, "15", kTwo, false, at(2024, 3, 14, 10, 50), nullptr, {kTwo[0]},
     {{"ss_no", "1"}, {"screensaver_setup_sw_minute", "2403141105"}, {"screensaver_setup_swminute", "2403141105"}},
     false, nullptr, false},
    {"screen saver, hour: the due stamp key only", true,
     {{"ss_no", "0"}, {"screensaver_setup_swminute", "0"}, {"screensaver_setup_sw_minute", "2403141020"}},
     Unit::Hour, "2", kTwo, false, at(2024, 3, 14, 10, 20), nullptr, {kTwo[0]},
     {{"screensaver_setup_sw_minute", "2403141220"}, {"screensaver_setup_swminute", "0"}}, false, nullptr,
     false},
    {"day unit: the due day key only", false,
     {{"sw_no", "0"}, {"setup_swminute", "314"}, {"setup_sw_minute", "2403101020"}}, Unit::Day, "3", kTwo,
     false, at(2024, 3, 14, 9, 0), nullptr, {kTwo[0]},
     {{"setup_swminute", "0317"}, {"setup_sw_minute", "2403101020"}}, false, nullptr, false},
    // Day intervals beyond half a year keep their start in the due-stamp key.
    {"200 days, due: the start of the next interval is now", false,
     {{"sw_no", "0"}, {"setup_swminute", "930"}, {"setup_sw_minute", "2403141020"}}, Unit::Day, "200", kTwo,
     false, at(2024, 9, 30, 9, 0), nullptr, {kTwo[0]},
     {{"sw_no", "1"}, {"setup_swminute", "418"}, {"setup_sw_minute", "2409300900"}}, false, nullptr, false},
    {"200 days, the day after saving: not due", false,
     {{"sw_no", "0"}, {"setup_swminute", "930"}, {"setup_sw_minute", "2403141020"}}, Unit::Day, "200", kTwo,
     false, at(2024, 3, 15, 9, 0), nullptr, {}, {}, true, nullptr, false},
    {"366 days, first tick on the day of saving: in step", false,
     {{"sw_no", "0"}, {"setup_swminute", "1231"}, {"setup_sw_minute", "2312311207"}}, Unit::Day, "366", kTwo,
     true, at(2023, 12, 31, 12, 8), nullptr, {}, {}, true, nullptr, false},
    {"200 days, first tick with the clock a year back: both keys rewritten", false,
     {{"sw_no", "0"}, {"setup_swminute", "930"}, {"setup_sw_minute", "2503141020"}}, Unit::Day, "200", kTwo,
     true, at(2024, 3, 14, 10, 20), nullptr, {}, {{"setup_swminute", "314"}, {"setup_sw_minute", "2308271020"}},
     false, nullptr, false},
    {"a due day missed while off is due at once", false,
     {{"sw_no", "1"}, {"setup_swminute", "1210"}, {"setup_sw_minute", "0"}}, Unit::Day, "5", kTwo, true,
     at(2024, 12, 12, 9, 0), nullptr, {kTwo[1]}, {{"sw_no", "0"}, {"setup_swminute", "1217"}}, false,
     nullptr, false},
    // First tick after the program started.
    {"first tick, clock set back: wallpaper minute stamp rewritten in ten characters", false,
     {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "503151025"}}, Unit::Minute, "5", kTwo,
     true, at(2005, 3, 14, 10, 20), nullptr, {}, {{"setup_sw_minute", "0503141020"}, {"sw_no", "0"}}, false,
     nullptr, false},
    {"first tick, clock set back: wallpaper hour stamp rewritten as a number", false,
     {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "503151025"}}, Unit::Hour, "2", kTwo,
     true, at(2005, 3, 14, 10, 20), nullptr, {}, {{"setup_sw_minute", "503141020"}}, false, nullptr, false},
    {"first tick, clock set back: screen-saver hour stamp rewritten in ten characters", true,
     {{"ss_no", "0"}, {"screensaver_setup_swminute", "0"}, {"screensaver_setup_sw_minute", "503151025"}},
     Unit::Hour, "2", kTwo, true, at(2005, 3, 14, 10, 20), nullptr, {},
     {{"screensaver_setup_sw_minute", "0503141020"}, {"screensaver_setup_swminute", "0"}}, false, nullptr,
     false},
    {"first tick, clock set back: due day rewritten to today", false,
     {{"sw_no", "0"}, {"setup_swminute", "120"}, {"setup_sw_minute", "0"}}, Unit::Day, "3", kTwo, true,
     at(2005, 1, 5, 10, 20), nullptr, {}, {{"setup_swminute", "105"}}, false, nullptr, false},
    {"first tick, saved at 10:55 for 10 minutes: kept until 11:05", false,
     {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2403141105"}}, Unit::Minute, "10", kTwo,
     true, at(2024, 3, 14, 10, 55), nullptr, {}, {}, true, nullptr, false},
    {"first tick, an hour ahead of two: kept", false,
     {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2403141130"}}, Unit::Hour, "2", kTwo,
     true, at(2024, 3, 14, 10, 30), nullptr, {}, {}, true, nullptr, false},
    {"first tick, due in the past: applied now, next due from now", false,
     {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2401010000"}}, Unit::Minute, "10", kTwo,
     true, at(2024, 3, 14, 10, 55), nullptr, {kTwo[0]}, {{"setup_sw_minute", "2403141105"}, {"sw_no", "1"}},
     false, nullptr, false},
    // Texts that must be numbers.
    {"interval box not a number; the first-tick flag stays", false, kWallDueAt1025, Unit::Minute, "abc",
     kTwo, true, at(2024, 3, 14, 10, 25), nullptr, {}, {}, true, "'abc' is not a valid integer value", true},
    {"due day key missing", false, {{"sw_no", "0"}, {"setup_sw_minute", "0"}}, Unit::Minute, "5", kTwo,
     false, at(2024, 3, 14, 10, 25), nullptr, {}, {}, true, "'' is not a valid integer value", false},
    {"due stamp not a number", false, {{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "24031410x5"}},
     Unit::Minute, "5", kTwo, false, at(2024, 3, 14, 10, 25), nullptr, {}, {}, true,
     "'24031410x5' is not a valid integer value", false},
    {"index not a number", false, {{"sw_no", "x"}, {"setup_swminute", "0"}, {"setup_sw_minute", "0"}},
     Unit::Minute, "5", kTwo, false, at(2024, 3, 14, 10, 25), nullptr, {}, {}, true,
     "'x' is not a valid integer value", false},
};

class TickTable : public testing::TestWithParam<TickCase> {};

TEST_P(TickTable, AppliesWritesAndHandsOver)
{
    const TickCase& c = GetParam();
    ChannelRig rig(c.screensaver);
    test::writeFile(rig.path, projectText(c.before));
    const std::string before = test::readFile(rig.path);
    if (c.applyFails)
        rig.failWith = c.applyFails;

    bool firstTick = c.firstTick;
    const TickResult result = rig.tick(c.lines, interval(c.unit, c.count), firstTick, c.now);

    EXPECT_EQ(result.failure, c.failure ? std::optional<std::string>(c.failure) : std::nullopt);
    EXPECT_EQ(result.report, result.failure) << "a first failure is reported";
    EXPECT_EQ(rig.applied, c.applied);
    EXPECT_EQ(firstTick, c.firstTickAfter);
    for (const auto& [key, value] : c.after) {
        EXPECT_EQ(readKey(rig.path, key), value) << key;
    }
    if (c.unchanged) {
        EXPECT_EQ(test::readFile(rig.path), before);
    }
}

// A test name from a case's description: its letters and digits, words joined by "_".
template <class Case>
std::string caseName(const testing::TestParamInfo<Case>& info)
{
    std::string name;
    for (const char* c = info.param.what; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            name += *c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Cases, TickTable, testing::ValuesIn(kTickCases), caseName<TickCase>);

TEST(Tick, MissingProjectFileFailsAtTheDueDayKeyAndCreatesNothing)
{
    ChannelRig rig(false);
    bool firstTick = true;
    const TickResult result = rig.tick(kTwo, interval(Unit::Minute, "5"), firstTick, at(2024, 3, 14));
    EXPECT_EQ(result.failure, "'' is not a valid integer value");
    EXPECT_FALSE(std::filesystem::exists(rig.path));
}

TEST(Tick, WritesBeforeAFailureReachTheDisk)
{
    // Two enabled boxes: the minute box resynchronises, the hour box then fails.
    ChannelRig rig(false);
    test::writeFile(rig.path, projectText({{"sw_no", "0"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2501010000"}}));
    IntervalGroup group = interval(Unit::Minute, "5");
    group.enabled[1] = true;
    group.texts[1] = "two";
    bool firstTick = true;
    const TickResult result = rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, 20));
    EXPECT_EQ(result.failure, "'two' is not a valid integer value");
    EXPECT_EQ(readKey(rig.path, "setup_sw_minute"), "2403141020");
    EXPECT_FALSE(firstTick);
}

TEST(Tick, EachEnabledUnitSeesTheWritesOfTheOneBefore)
{
    // Minute and hour box both enabled and both due: two entries in one tick.
    ChannelRig rig(false);
    test::writeFile(rig.path, projectText(kWallDueAt1025));
    IntervalGroup group = interval(Unit::Minute, "5");
    group.enabled[1] = true;
    group.texts[1] = "1";
    bool firstTick = false;
    // The first tick keeps the values; the second is served from them until it writes.
    rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, 0));
    rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, 25));
    EXPECT_EQ(rig.applied, kTwo);
    EXPECT_EQ(readKey(rig.path, "sw_no"), "0");
    EXPECT_EQ(readKey(rig.path, "setup_sw_minute"), "2403141125"); // the hour unit wrote last
}

// One turn of a channel with the list {A, B}, due every 5 minutes.
struct Turn {
    std::optional<std::string> failA;   // A's error if it comes up now; nullopt: A applies
    std::optional<std::string> failB;
    std::optional<std::string> report;  // what the user reads
};

struct TurnsCase {
    const char* what;
    std::vector<Turn> turns;            // A, B, A, B, ... one per due time
};

void PrintTo(const TurnsCase& c, std::ostream* os)
{
    *os << c.what;
}

const std::string kGone = "Cannot open file \"/pictures/a.jpg\". No such file or directory";
const std::string kBroken = "JPEG error #42";

const TurnsCase kTurnsCases[] = {
    {"a deleted picture is reported once and never holds back the next",
     {{kGone, {}, kGone}, {kGone, {}, {}}, {kGone, {}, {}}, {kGone, {}, {}}, {kGone, {}, {}}}},
    {"again after the entry was applied in between",
     {{kGone, {}, kGone}, {{}, {}, {}}, {{}, {}, {}}, {{}, {}, {}}, {kGone, {}, kGone}, {kGone, {}, {}},
      {kGone, {}, {}}}},
    {"again when the entry's text changes",
     {{kGone, {}, kGone}, {kGone, {}, {}}, {kBroken, {}, kBroken}, {kBroken, {}, {}}, {kBroken, {}, {}}}},
    {"each entry's failure is its own, even with one text",
     {{kBroken, kBroken, kBroken}, {kBroken, kBroken, kBroken}, {kBroken, kBroken, {}},
      {kBroken, kBroken, {}}}},
    {"one entry failing, the other coming and going",
     {{kGone, kBroken, kGone}, {kGone, kBroken, kBroken}, {kGone, {}, {}}, {kGone, {}, {}},
      {kGone, kBroken, {}}, {kGone, kBroken, kBroken}}},
};

class Turns : public testing::TestWithParam<TurnsCase> {};

TEST_P(Turns, EachFailureIsReportedOnceUntilItsEntryChangesOrSucceeds)
{
    // A failing entry takes its turn: the other entry comes at the next due
    // time, and the failing one again at the one after.
    const std::vector<std::string> lines{"/pictures/a.jpg", "/pictures/b.jpg"};
    ChannelRig rig(false);
    test::writeFile(rig.path, projectText(kWallDueAt1025));
    const IntervalGroup group = interval(Unit::Minute, "5");
    bool firstTick = false;

    std::int64_t minutes = wallMinutes(at(2024, 3, 14, 10, 25));
    for (std::size_t i = 0; i < GetParam().turns.size(); ++i) {
        const Turn& turn = GetParam().turns[i];
        const std::string& entry = lines[i % 2];
        const std::optional<std::string>& error = i % 2 == 0 ? turn.failA : turn.failB;
        rig.failing.clear();
        if (turn.failA)
            rig.failing[lines[0]] = *turn.failA;
        if (turn.failB)
            rig.failing[lines[1]] = *turn.failB;
        // A tick before the due time in between: nothing to do, nothing forgotten.
        EXPECT_EQ(rig.tick(lines, group, firstTick, fromWallMinutes(minutes - 1)).failure, std::nullopt);
        const std::size_t appliedBefore = rig.applied.size();

        const TickResult result = rig.tick(lines, group, firstTick, fromWallMinutes(minutes));
            EXPECT_EQ(result.failure, error) << "turn " << i;
        EXPECT_EQ(result.entry, error ? std::optional<std::string>(entry) : std::nullopt) << "turn " << i;
        EXPECT_EQ(result.report, turn.report) << "turn " << i;
        const std::vector<std::string> appliedNow(rig.applied.begin() + static_cast<std::ptrdiff_t>(appliedBefore),
                                                  rig.applied.end());
        EXPECT_EQ(appliedNow, error ? std::vector<std::string>{} : std::vector<std::string>{entry}) << "turn " << i;
        minutes += 5;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Turns, testing::ValuesIn(kTurnsCases), caseName<TurnsCase>);

TEST(Tick, AnErrorOutsideTheApplyStepStopsTheChannelAndIsReportedOnce)
{
    ChannelRig rig(false);
    test::writeFile(rig.path, projectText({{"sw_no", "x"}, {"setup_swminute", "0"}, {"setup_sw_minute", "0"}}));
    const std::string before = test::readFile(rig.path);
    const IntervalGroup group = interval(Unit::Minute, "5");
    bool firstTick = false;
    const std::string message = "'x' is not a valid integer value";
    for (int minute = 25; minute < 40; ++minute) {
        const TickResult result = rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, minute));
        EXPECT_EQ(result.failure, message);
        EXPECT_EQ(result.entry, std::nullopt);
        EXPECT_EQ(result.report, minute == 25 ? std::optional<std::string>(message) : std::nullopt) << minute;
    }
    EXPECT_TRUE(rig.applied.empty());
    EXPECT_EQ(test::readFile(rig.path), before);
}

TEST(Tick, LongDayIntervalResynchronisedOnTheFirstTickChangesOnTheNext)
{
    // 365 days from 14 March 2025, read on 14 March 2024 after the clock went
    // back: the due day stamp is today's, but the due day two years ahead.
    ChannelRig rig(false);
    test::writeFile(rig.path,
                    projectText({{"sw_no", "0"}, {"setup_swminute", "314"}, {"setup_sw_minute", "2503141020"}}));
    const IntervalGroup group = interval(Unit::Day, "365");
    bool firstTick = true;
    EXPECT_EQ(rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, 20)).failure, std::nullopt);
    EXPECT_TRUE(rig.applied.empty());
    EXPECT_EQ(rig.tick(kTwo, group, firstTick, at(2024, 3, 14, 10, 20)).failure, std::nullopt);
    EXPECT_EQ(rig.applied, std::vector<std::string>{kTwo[0]});
    EXPECT_EQ(readKey(rig.path, "setup_swminute"), "314");   // 14 March 2025
    EXPECT_EQ(readKey(rig.path, "setup_sw_minute"), "2403141020");
}

TEST(ReportGate, RemembersOnlyEntriesOfTheList)
{
    ReportGate gate;
    AppliedEntries aFailed;
    aFailed.failed = "a";
    EXPECT_EQ(gate.pass("gone", aFailed), "gone");
    gate.keepOnly({"a", "b"});
    EXPECT_EQ(gate.pass("gone", aFailed), std::nullopt);
    gate.keepOnly({"b"});   // the entry left the list and came back
    EXPECT_EQ(gate.pass("gone", aFailed), "gone");
}

TEST(ReportGate, EachChannelKeepsItsOwn)
{
    ReportGate wallpaper, screensaver;
    EXPECT_EQ(wallpaper.pass("a"), "a");
    EXPECT_EQ(screensaver.pass("a"), "a");
    EXPECT_EQ(wallpaper.pass("a"), std::nullopt);
    EXPECT_EQ(screensaver.pass(std::nullopt), std::nullopt);
    EXPECT_EQ(screensaver.pass("a"), "a");
    EXPECT_EQ(wallpaper.pass("a"), std::nullopt);
}

TEST(ProjectFileCache, ParsesOnlyWhenTheFileChanged)
{
    test::TempDir dir;
    const std::string path = dir.file("show.lmv");
    test::writeFile(path, projectText(kWallDueAt1025));
    ProjectFileCache files(keptScheduleKeys());
    RotationChannel wallpaper(wallpaperChannelKeys());
    RotationChannel screensaver(screensaverChannelKeys());
    std::vector<std::string> applied;
    const ApplyStep apply = [&](const std::string& entry) { applied.push_back(entry); };
    const IntervalGroup group = interval(Unit::Minute, "5");
    const IntervalGroup none = interval(std::nullopt, "");
    bool wallFirst = false, saverFirst = false;
    const ProjectFileCache::Identity before = ProjectFileCache::identify(path);

    // At rest: both channels, many turns, one parse, no write.
    for (int i = 0; i < 10; ++i) {
        wallpaper.tick(files, path, ChannelInput{kTwo, group, apply}, wallFirst, at(2024, 3, 14, 10, 24));
        screensaver.tick(files, path, ChannelInput{kTwo, none, apply}, saverFirst, at(2024, 3, 14, 10, 24));
    }
    EXPECT_EQ(files.parseCount(), 1u);
    EXPECT_EQ(ProjectFileCache::identify(path), before);

    // Another program rewrites the file in place with the same size, a moment later.
    test::writeFile(path, projectText({{"sw_no", "1"}, {"setup_swminute", "0"}, {"setup_sw_minute", "2403141025"}}));
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(1));
    wallpaper.tick(files, path, ChannelInput{kTwo, group, apply}, wallFirst, at(2024, 3, 14, 10, 25));
    EXPECT_EQ(files.parseCount(), 2u);
    EXPECT_EQ(applied, std::vector<std::string>{kTwo[1]});

    // Our own write: the next tick reads what reached the disk.
    wallpaper.tick(files, path, ChannelInput{kTwo, group, apply}, wallFirst, at(2024, 3, 14, 10, 26));
    EXPECT_EQ(files.parseCount(), 3u);
    EXPECT_EQ(applied.size(), 1u);
    EXPECT_EQ(readKey(path, "sw_no"), "0");

    // Another path.
    const std::string other = dir.file("other.lmv");
    test::writeFile(other, projectText(kWallDueAt1025));
    wallpaper.tick(files, other, ChannelInput{kTwo, group, apply}, wallFirst, at(2024, 3, 14, 10, 26));
    EXPECT_EQ(files.parseCount(), 4u);
}

} // namespace
} // namespace plimbury

namespace plimbury {
namespace {

// A picture for each monitor: as many entries as monitors from the index on,
// the list repeating when shorter, empty entries passed over; the index moves
// on by the number of monitors.
TEST(Tick, EachMonitorTakesTheNextEntries)
{
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        const char* index;
        std::size_t monitors;
        std::vector<std::string> shown;
        const char* next;
    };
    const Case cases[] = {
        {"two of four", {"a", "b", "c", "d"}, "0", 2, {"a", "b"}, "2"},
        {"wrapping at the end", {"a", "b", "c"}, "2", 2, {"c", "a"}, "1"},
        {"a list shorter than the monitors repeats", {"a", "b"}, "1", 3, {"b", "a", "b"}, "0"},
        {"empty entries passed over", {"a", "", "c"}, "0", 2, {"a", "c"}, "2"},
        {"one monitor: one entry", {"a", "b"}, "1", 1, {"b"}, "0"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("show.lmv");
        test::writeFile(path, std::string("[counttime]\r\nsw_no=") + c.index +
                                  "\r\nsetup_swminute=0\r\nsetup_sw_minute=0\r\n");
        std::vector<std::string> one;
        std::vector<std::vector<std::string>> many;
        const ApplyStep apply = [&](const std::string& entry) { one.push_back(entry); };
        const ApplyManyStep applyMany = [&](const std::vector<std::string>& entries) { many.push_back(entries); };
        IntervalGroup group;
        group.enabled = {true, false, false};
        group.texts = {"5", "0", "0"};
        ChannelInput input{c.lines, group, apply, true};
        input.applyMany = &applyMany;
        input.count = [&] { return c.monitors; };
        ProjectFileCache files(keptScheduleKeys());
        RotationChannel channel(wallpaperChannelKeys());
        bool firstTick = false;
        const TickResult result = channel.tick(files, path, input, firstTick, LocalTime{2024, 3, 14, 10, 20, 0});
        EXPECT_EQ(result.failure, std::nullopt) << c.what;
        const std::vector<std::string> shown = many.empty() ? one : many.front();
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(ProfileFile(path).read("counttime", "sw_no"), c.next) << c.what;
    }
}

} // namespace
} // namespace plimbury
