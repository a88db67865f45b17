#pragma once
// Schedule arithmetic of the rotation: stamps, day stamps, the next due value
// and the readings of stored due values against the clock. Pure functions;
// the clock is always a parameter.
//
// Stamp: the local time yymmddhhmm as a number (14 March 2024, 10:20 is
// 2403141020). Day stamp: month * 100 + day, without a year (14 March is 314).
// Calendar arithmetic is the real one (month lengths, leap years); the texts
// keep the two shapes project files have always had: a value reached by a
// plain addition is written as a number ("2403141025", "503141025"), a value
// that needed a carry is written field by field, two digits each except an
// advanced year, which is a plain number ("2404010110", "601010005").

#include "platform/Clock.h"
#include "project/ProjectFormat.h"

#include <cstdint>
#include <optional>
#include <string>

namespace plimbury {

std::int64_t stampOf(const LocalTime& t) noexcept;
int dayStampOf(const LocalTime& t) noexcept;

// The ten characters "yymmddhhmm", leading zero kept: "0503141105".
std::string formatStamp(const LocalTime& t);
// The stamp as a decimal number: "503141105".
std::string stampNumberText(const LocalTime& t);

// The value to store as the next due time, `count` units after `now`:
// a stamp for the minute and hour units, a day stamp for the day unit.
//   minute: "now + count" as a number while the hour stays, else field by field;
//   hour:   the same while the day stays;
//   day:    "mmdd" (two digits each) while the month stays, else the month as a
//           plain number followed by the two-digit day ("503", "104").
// Any count is accepted (negative ones name the past); counts beyond a
// thousand years are cut there.
std::string nextDue(Unit unit, std::int64_t count, const LocalTime& now);

// Local wall-clock minutes since 1 January 1970, 00:00 (seconds dropped).
std::int64_t wallMinutes(const LocalTime& t) noexcept;
// The wall-clock time `minutes` names (second 0). Inverse of wallMinutes.
LocalTime fromWallMinutes(std::int64_t minutes) noexcept;

// A moment long past, below any stamp's reading; differences with it do not overflow.
inline constexpr std::int64_t kLongAgo = -(std::int64_t{1} << 50);

// The moment a stored due stamp names, in wall minutes. The two-digit year is
// read in the century that puts it nearest to `now` (a year of three or more
// digits is taken as it is); fields beyond their range carry into the next
// one, so 29 February of a common year is 1 March and 11:80 is 12:20. A
// stamp of 0 or below (an empty key) is kLongAgo.
std::int64_t dueStampMinutes(std::int64_t stamp, const LocalTime& now) noexcept;

// Days from `today` to the occurrence of a year-less day stamp nearest to
// today (negative: in the past; on a tie, the past one). A day beyond the
// length of its month carries (229 in a common year is 1 March, 431 is 1 May).
// nullopt when the number names no day at all (month outside 1..12, day
// outside 1..31); such a value counts as due.
std::optional<int> dayStampOffset(std::int64_t dayStamp, const LocalTime& today) noexcept;

// A day stamp read as its nearest occurrence names any day up to this many
// days either side of today. A day interval longer than that needs the due
// day's year, which the day unit then keeps in the due-stamp key: the moment
// its interval started (the change, or Save and Run's moment of saving), the
// due day being that moment's day plus the interval.
inline constexpr std::int64_t kDayStampReach = 182;

// Whether a day interval of `count` days keeps its start in the due-stamp key.
constexpr bool dayIntervalNeedsYear(std::int64_t count) noexcept
{
    return count > kDayStampReach;
}

// The start stamp ("yymmddhhmm") of a `count`-day interval that ends on the
// day of `due`, for the due-stamp key.
std::string dayIntervalStart(std::int64_t count, const LocalTime& due);

// Days from `today` to the day unit's due day. For an interval that needs the
// year, and a start stamp whose day plus `count` days has the month and day of
// the due day stamp, that day. Otherwise the due day stamp's nearest
// occurrence (dayStampOffset), as always: a stamp that does not match starts
// no interval of this schedule (0, or a moment of saving the schedule has
// since moved on from), and shorter intervals never look at the stamp, which
// in their files can match by chance. nullopt as dayStampOffset.
std::optional<int> dueDayOffset(std::int64_t count, std::int64_t startStamp, std::int64_t dueDayStamp,
                                const LocalTime& today) noexcept;

// The due test. Minute and hour units: now is at or after the due stamp.
// Day unit: the due day (dueDayOffset, the due stamp as its start) is today
// or already past (a day missed while the computer was off is due at once,
// not a year later). `count` is the interval, used by the day unit only.
bool isDue(Unit unit, std::int64_t count, std::int64_t dueStamp, std::int64_t dueDayStamp,
           const LocalTime& now) noexcept;

// Whether the stored due value lies more than `count` units ahead of now,
// which a running schedule never does: the clock was moved back, or the
// schedule was written for another time. Elapsed time is measured for real,
// so crossing an hour, day or month end is no jump. The day unit reads its
// due day as isDue does, so a due day a whole interval ahead is in step.
bool isTooFarAhead(Unit unit, std::int64_t count, std::int64_t dueStamp, std::int64_t dueDayStamp,
                   const LocalTime& now) noexcept;

} // namespace plimbury
