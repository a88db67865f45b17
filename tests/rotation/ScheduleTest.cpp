#include "rotation/Schedule.h"

#include "project/NumberRule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace plimbury {
namespace {

LocalTime at(int year, int month, int day, int hour = 0, int minute = 0)
{
    return LocalTime{year, month, day, hour, minute, 0};
}

TEST(Stamp, FieldsTextAndNumber)
{
    EXPECT_EQ(stampOf(at(2024, 3, 14, 10, 20)), 2403141020);
    EXPECT_EQ(stampOf(at(2005, 12, 6, 10, 30)), 512061030);
    EXPECT_EQ(formatStamp(at(2005, 12, 6, 10, 30)), "0512061030");
    EXPECT_EQ(stampNumberText(at(2005, 12, 6, 10, 30)), "512061030");
    EXPECT_EQ(formatStamp(at(2000, 1, 1, 0, 0)), "0001010000");
    EXPECT_EQ(dayStampOf(at(2024, 3, 14)), 314);
    EXPECT_EQ(dayStampOf(at(2024, 1, 5)), 105);
}

TEST(Stamp, WallMinutesRoundTripThroughLeapAndCommonYears)
{
    // Every day of 2023 to 2025 at a few times of day: the date comes back,
    // and consecutive days lie 1440 minutes apart.
    const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    std::int64_t previous = wallMinutes(at(2022, 12, 31, 0, 0));
    for (int year = 2023; year <= 2025; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const int length = lengths[month - 1] + (month == 2 && year == 2024 ? 1 : 0);
            for (int day = 1; day <= length; ++day) {
                const std::int64_t midnight = wallMinutes(at(year, month, day));
                ASSERT_EQ(midnight - previous, 1440) << year << "-" << month << "-" << day;
                previous = midnight;
                for (const int minuteOfDay : {0, 59, 61, 23 * 60 + 59}) {
                    const LocalTime t = at(year, month, day, minuteOfDay / 60, minuteOfDay % 60);
                    ASSERT_EQ(fromWallMinutes(wallMinutes(t)), t);
                }
            }
        }
    }
}

struct NextDueCase {
    LocalTime now;
    Unit unit;
    std::int64_t count;
    const char* expected;
};

class NextDue : public testing::TestWithParam<NextDueCase> {};

// "minute_5_at_2403141020": a failing case names itself.
std::string nextDueName(const testing::TestParamInfo<NextDueCase>& info)
{
    const NextDueCase& c = info.param;
    const char* unit = c.unit == Unit::Minute ? "minute" : c.unit == Unit::Hour ? "hour" : "day";
    std::string count = c.count < 0 ? "minus" + std::to_string(-c.count) : std::to_string(c.count);
    return std::string(unit) + "_" + count + "_at_" + formatStamp(c.now);
}

TEST_P(NextDue, WritesTheDueValueInItsShape)
{
    const NextDueCase& c = GetParam();
    EXPECT_EQ(nextDue(c.unit, c.count, c.now), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    SaveAndRunExamples, NextDue,
    testing::Values(NextDueCase{at(2024, 3, 14, 10, 20), Unit::Minute, 5, "2403141025"},
                    NextDueCase{at(2024, 3, 14, 10, 50), Unit::Minute, 15, "2403141105"},
                    NextDueCase{at(2024, 3, 31, 23, 10), Unit::Hour, 2, "2404010110"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Hour, 3, "2403141320"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Hour, 2, "2403141220"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Day, 3, "0317"},
                    NextDueCase{at(2024, 4, 30, 10, 20), Unit::Day, 3, "503"},
                    NextDueCase{at(2024, 12, 30, 10, 20), Unit::Day, 5, "104"},
                    // the two text shapes of a stamp in a year below 10
                    NextDueCase{at(2005, 3, 14, 10, 20), Unit::Minute, 5, "503141025"},
                    NextDueCase{at(2005, 3, 14, 10, 50), Unit::Minute, 15, "0503141105"}),
    nextDueName);

INSTANTIATE_TEST_SUITE_P(
    Carries, NextDue,
    testing::Values(
        // into the next hour, day, month and year
        NextDueCase{at(2024, 3, 14, 10, 55), Unit::Minute, 20, "2403141115"},
        NextDueCase{at(2024, 3, 14, 21, 50), Unit::Minute, 20, "2403142210"},
        NextDueCase{at(2024, 3, 14, 10, 30), Unit::Minute, 60, "2403141130"},
        NextDueCase{at(2024, 1, 31, 10, 50), Unit::Minute, 15, "2401311105"},
        NextDueCase{at(2024, 1, 31, 23, 55), Unit::Minute, 10, "2402010005"},
        NextDueCase{at(2024, 12, 31, 23, 55), Unit::Minute, 10, "2501010005"},
        NextDueCase{at(2005, 12, 31, 23, 55), Unit::Minute, 10, "601010005"},
        NextDueCase{at(2024, 3, 14, 10, 30), Unit::Hour, 24, "2403151030"},
        NextDueCase{at(2024, 3, 14, 20, 30), Unit::Hour, 14, "2403151030"},
        NextDueCase{at(2024, 12, 31, 23, 10), Unit::Hour, 1, "2501010010"},
        NextDueCase{at(2099, 12, 31, 10, 0), Unit::Hour, 48, "001021000"},
        // February of a leap and of a common year
        NextDueCase{at(2024, 2, 28, 23, 30), Unit::Minute, 45, "2402290015"},
        NextDueCase{at(2023, 2, 28, 23, 30), Unit::Minute, 45, "2303010015"},
        NextDueCase{at(2024, 2, 29, 23, 0), Unit::Hour, 2, "2403010100"},
        NextDueCase{at(2023, 2, 28, 22, 0), Unit::Hour, 3, "2303010100"},
        NextDueCase{at(2024, 4, 30, 23, 0), Unit::Hour, 1, "2405010000"},
        NextDueCase{at(2024, 2, 28, 10, 0), Unit::Day, 1, "0229"},
        NextDueCase{at(2023, 2, 28, 10, 0), Unit::Day, 1, "301"},
        NextDueCase{at(2024, 2, 29, 10, 0), Unit::Day, 1, "301"},
        NextDueCase{at(2024, 1, 31, 10, 0), Unit::Day, 30, "301"},
        NextDueCase{at(2023, 1, 31, 10, 0), Unit::Day, 30, "302"},
        NextDueCase{at(2024, 4, 29, 10, 0), Unit::Day, 1, "0430"},
        NextDueCase{at(2024, 4, 30, 10, 0), Unit::Day, 1, "501"},
        NextDueCase{at(2024, 9, 30, 10, 0), Unit::Day, 31, "1031"},
        NextDueCase{at(2024, 12, 31, 10, 0), Unit::Day, 31, "131"}),
    nextDueName);

INSTANTIATE_TEST_SUITE_P(
    BeyondTheLabelRanges, NextDue,
    testing::Values(NextDueCase{at(2024, 3, 14, 10, 50), Unit::Minute, 90, "2403141220"},
                    NextDueCase{at(2024, 2, 28, 23, 30), Unit::Minute, 1500, "2403010030"},
                    NextDueCase{at(2023, 2, 28, 23, 30), Unit::Minute, 1500, "2303020030"},
                    NextDueCase{at(2024, 3, 14, 10, 0), Unit::Hour, 50, "2403161200"},
                    NextDueCase{at(2024, 12, 31, 10, 0), Unit::Day, 40, "209"},
                    NextDueCase{at(2024, 1, 1, 10, 0), Unit::Day, 100, "410"},
                    // an interval of 0 is now itself; a negative one the past
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Minute, 0, "2403141020"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Hour, 0, "2403141020"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Day, 0, "0314"},
                    NextDueCase{at(2024, 3, 14, 10, 20), Unit::Minute, -5, "2403141015"},
                    NextDueCase{at(2024, 3, 14, 0, 2), Unit::Minute, -5, "2403132357"}),
    nextDueName);

TEST(NextDue, AbsurdCountsStayReadable)
{
    const LocalTime now = at(2024, 3, 14, 10, 20);
    for (const Unit unit : {Unit::Minute, Unit::Hour, Unit::Day}) {
        for (const std::int64_t count : {std::int64_t{std::numeric_limits<std::int32_t>::max()},
                                         std::int64_t{std::numeric_limits<std::int32_t>::min()},
                                         std::numeric_limits<std::int64_t>::max()}) {
            const std::string text = nextDue(unit, count, now);
            EXPECT_NO_THROW(toInt64(text)) << text;
        }
    }
}

struct ReadingCase {
    std::int64_t stamp;
    LocalTime now;
    LocalTime names;
};

TEST(DueStamp, ReadsTheCenturyNearestToNowAndCarriesFieldsBeyondTheirRange)
{
    const ReadingCase cases[] = {
        {2403141025, at(2024, 3, 14), at(2024, 3, 14, 10, 25)},
        {503141025, at(2005, 1, 1), at(2005, 3, 14, 10, 25)},
        {601010005, at(2005, 12, 31), at(2006, 1, 1, 0, 5)},
        {9912312355, at(2100, 1, 1), at(2099, 12, 31, 23, 55)},
        {1010005, at(2099, 12, 31), at(2100, 1, 1, 0, 5)},
        {2302290005, at(2023, 2, 28), at(2023, 3, 1, 0, 5)},   // no 29 February in 2023
        {2403141180, at(2024, 3, 14), at(2024, 3, 14, 12, 20)}, // 11:80
        {2404310000, at(2024, 4, 1), at(2024, 5, 1, 0, 0)},
        {202403141025, at(2024, 1, 1), at(2024, 3, 14, 10, 25)}, // a four-digit year
    };
    for (const ReadingCase& c : cases)
        EXPECT_EQ(fromWallMinutes(dueStampMinutes(c.stamp, c.now)), c.names) << c.stamp;
    EXPECT_EQ(dueStampMinutes(0, at(2024, 3, 14)), kLongAgo);
    EXPECT_EQ(dueStampMinutes(-5, at(2024, 3, 14)), kLongAgo);
}

struct DueCase {
    const char* what;
    Unit unit;
    std::int64_t dueStamp;
    std::int64_t dueDay;
    LocalTime now;
    bool due;
    std::int64_t count = 1;
};

TEST(DueTest, MinuteHourAndDayUnits)
{
    const DueCase cases[] = {
        {"equal stamps", Unit::Minute, 2403141025, 0, at(2024, 3, 14, 10, 25), true},
        {"a minute early", Unit::Minute, 2403141025, 0, at(2024, 3, 14, 10, 24), false},
        {"later", Unit::Hour, 2403141025, 0, at(2024, 3, 15, 0, 0), true},
        {"empty due stamp", Unit::Minute, 0, 0, at(2024, 3, 14, 10, 24), true},
        {"stamp written with its leading zero", Unit::Minute, toInt64("0503141025"), 0,
         at(2005, 3, 14, 10, 25), true},
        {"29 February in a common year, on the 28th", Unit::Minute, 2302290005, 0,
         at(2023, 2, 28, 23, 59), false},
        {"29 February in a common year, on 1 March", Unit::Minute, 2302290005, 0,
         at(2023, 3, 1, 0, 5), true},
        {"across the century", Unit::Minute, 9912312355, 0, at(2100, 1, 1, 0, 0), true},
        {"due day today", Unit::Day, 0, 314, at(2024, 3, 14, 0, 0), true},
        {"due day tomorrow", Unit::Day, 0, 315, at(2024, 3, 14, 23, 59), false},
        {"due day missed while off", Unit::Day, 0, 1210, at(2024, 12, 12, 9, 0), true},
        {"due day missed over new year", Unit::Day, 0, 1231, at(2025, 1, 2, 9, 0), true},
        {"due day early in the new year", Unit::Day, 0, 104, at(2024, 12, 30, 9, 0), false},
        {"0402 and 402 are one day", Unit::Day, 0, toInt64("0402"), at(2024, 4, 2, 9, 0), true},
        {"229 in a common year, 28 February", Unit::Day, 0, 229, at(2025, 2, 28, 9, 0), false},
        {"229 in a common year, 1 March", Unit::Day, 0, 229, at(2025, 3, 1, 9, 0), true},
        {"229 in a leap year, 28 February", Unit::Day, 0, 229, at(2024, 2, 28, 9, 0), false},
        {"229 in a leap year, 29 February", Unit::Day, 0, 229, at(2024, 2, 29, 9, 0), true},
        {"230 in a leap year, 29 February", Unit::Day, 0, 230, at(2024, 2, 29, 9, 0), false},
        {"230 in a leap year, 1 March", Unit::Day, 0, 230, at(2024, 3, 1, 9, 0), true},
        {"431, 30 April", Unit::Day, 0, 431, at(2024, 4, 30, 9, 0), false},
        {"431, 1 May", Unit::Day, 0, 431, at(2024, 5, 1, 9, 0), true},
        {"day key 0 from another unit", Unit::Day, 0, 0, at(2024, 5, 1, 9, 0), true},
        {"a month that does not exist", Unit::Day, 0, 1301, at(2024, 5, 1, 9, 0), true},
        {"a day that does not exist", Unit::Day, 0, 332, at(2024, 3, 1, 9, 0), true},
        {"a whole stamp in the day key", Unit::Day, 0, 2403141025, at(2024, 3, 1, 9, 0), true},
        // 200 days from 14 March 2024 10:20: 30 September 2024.
        {"200 days, the day after the start", Unit::Day, 2403141020, 930, at(2024, 3, 15, 9, 0), false, 200},
        {"200 days, the due day", Unit::Day, 2403141020, 930, at(2024, 9, 30, 0, 0), true, 200},
    };
    for (const DueCase& c : cases)
        EXPECT_EQ(isDue(c.unit, c.count, c.dueStamp, c.dueDay, c.now), c.due) << c.what;
}

struct DueDayCase {
    const char* what;
    std::int64_t count;
    std::int64_t start;     // the due-stamp key
    std::int64_t dueDay;    // the due-day key
    LocalTime today;
    std::optional<int> offset;
};

TEST(DueDay, LongIntervalsTakeTheYearFromTheirStart)
{
    const DueDayCase cases[] = {
        // Saved on 14 March 2024 for 200 days: due 30 September 2024.
        {"saved today", 200, 2403141020, 930, at(2024, 3, 14, 10, 20), 200},
        {"a day before", 200, 2403141020, 930, at(2024, 9, 29), 1},
        {"missed while off", 200, 2403141020, 930, at(2024, 10, 5), -5},
        {"missed by more than half a year", 200, 2301011000, 720, at(2024, 3, 1), -225},
        {"started in the future: the clock went back", 200, 2503141020, 930, at(2024, 3, 14), 565},
        {"a start written without its leading zero", 200, 503141020, 930, at(2005, 3, 14), 200},
        {"183 days: the tie of the nearest reading", 183, 2312311207, 701, at(2023, 12, 31), 183},
        {"365 days of a common year", 365, 2501011200, 101, at(2025, 1, 1), 365},
        {"365 days over 29 February", 365, 2312311207, 1230, at(2023, 12, 31), 365},
        {"366 days over 29 February", 366, 2312311207, 1231, at(2023, 12, 31), 366},
        {"366 days of common years", 366, 2501011200, 102, at(2025, 1, 1), 366},
        // Keys of another schedule: the day stamp alone, as ever.
        {"start of another interval", 200, 2403141020, 1001, at(2024, 3, 14), -165},
        {"no start (0)", 200, 0, 930, at(2024, 3, 14), -166},
        {"a day stamp that names no day", 200, 2403141020, 1301, at(2024, 3, 14), std::nullopt},
        // Short intervals never consult the stamp: a start a year old that
        // happens to match reads as the nearest occurrence.
        {"31 days, matching start a year old", 31, 2303011000, 401, at(2024, 3, 14), 18},
        {"182 days, the longest the day stamp holds", 182, 2403141020, 912, at(2024, 3, 14), 182},
    };
    for (const DueDayCase& c : cases)
        EXPECT_EQ(dueDayOffset(c.count, c.start, c.dueDay, c.today), c.offset) << c.what;
}

TEST(DueDay, StartOfAnIntervalEndingOnAGivenDay)
{
    EXPECT_EQ(dayIntervalStart(200, at(2024, 3, 14, 10, 20)), "2308271020");
    EXPECT_EQ(dayIntervalStart(365, at(2024, 3, 14, 10, 20)), "2303151020");
    EXPECT_EQ(dayIntervalStart(366, at(2005, 1, 1, 0, 0)), "0401010000");
    // Round trip through every day of a leap and a common year.
    for (const std::int64_t count : {183, 200, 365, 366, 400}) {
        for (LocalTime day = at(2024, 1, 1, 9, 30); day.year < 2026; day = fromWallMinutes(wallMinutes(day) + 1440)) {
            const std::int64_t start = toInt64(dayIntervalStart(count, day));
            ASSERT_EQ(dueDayOffset(count, start, dayStampOf(day), day), 0) << count << " " << formatStamp(day);
        }
    }
}

struct AheadCase {
    const char* what;
    Unit unit;
    std::int64_t count;
    std::int64_t dueStamp;
    std::int64_t dueDay;
    LocalTime now;
    bool tooFar;
};

TEST(FirstTickWindow, ComparesRealElapsedTimeInTheChannelsUnit)
{
    const AheadCase cases[] = {
        {"saved at 10:55 for 10 minutes", Unit::Minute, 10, 2403141105, 0, at(2024, 3, 14, 10, 55), false},
        {"exactly one interval ahead", Unit::Minute, 10, 2403141030, 0, at(2024, 3, 14, 10, 20), false},
        {"a minute more than an interval", Unit::Minute, 10, 2403141106, 0, at(2024, 3, 14, 10, 55), true},
        {"clock set back a day", Unit::Minute, 10, 2403151030, 0, at(2024, 3, 14, 10, 30), true},
        {"across a month end", Unit::Minute, 10, 2404010005, 0, at(2024, 3, 31, 23, 58), false},
        {"across a year end", Unit::Minute, 10, 2501010005, 0, at(2024, 12, 31, 23, 58), false},
        {"due in the past", Unit::Minute, 10, 2403141000, 0, at(2024, 3, 14, 10, 55), false},
        {"empty due stamp", Unit::Minute, 10, 0, 0, at(2024, 3, 14, 10, 55), false},
        {"an hour ahead of two", Unit::Hour, 2, 2403141130, 0, at(2024, 3, 14, 10, 30), false},
        {"two hours and a minute ahead of two", Unit::Hour, 2, 2403141231, 0, at(2024, 3, 14, 10, 30), true},
        {"hour unit over midnight", Unit::Hour, 2, 2403150030, 0, at(2024, 3, 14, 23, 30), false},
        {"interval 0, due a minute ahead", Unit::Minute, 0, 2403141031, 0, at(2024, 3, 14, 10, 30), true},
        {"due day passed", Unit::Day, 5, 0, 1210, at(2024, 12, 12), false},
        {"due day within the interval", Unit::Day, 5, 0, 1217, at(2024, 12, 12), false},
        {"due day beyond the interval", Unit::Day, 5, 0, 1218, at(2024, 12, 12), true},
        {"due day over new year", Unit::Day, 5, 0, 103, at(2024, 12, 30), false},
        {"due day that names no day", Unit::Day, 5, 0, 1301, at(2024, 12, 30), false},
        {"366 days, saved today", Unit::Day, 366, 2312311207, 1231, at(2023, 12, 31, 12, 8), false},
        {"366 days, saved on the eve", Unit::Day, 366, 2312301207, 1230, at(2023, 12, 31, 0, 5), false},
        {"200 days, started tomorrow", Unit::Day, 200, 2403151020, 1001, at(2024, 3, 14), true},
        {"200 days, clock a year back", Unit::Day, 200, 2503141020, 930, at(2024, 3, 14), true},
    };
    for (const AheadCase& c : cases)
        EXPECT_EQ(isTooFarAhead(c.unit, c.count, c.dueStamp, c.dueDay, c.now), c.tooFar) << c.what;
}

} // namespace
} // namespace plimbury
