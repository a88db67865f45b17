#include "rotation/Schedule.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace plimbury {

namespace {

using std::chrono::sys_days;

constexpr std::int64_t kMinutesPerHour = 60;
constexpr std::int64_t kMinutesPerDay = 24 * 60;
// Far enough for any interval a person means, near enough that every result
// stays inside the calendar's range.
constexpr std::int64_t kMaxOffsetMinutes = 1000 * 366 * kMinutesPerDay;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) noexcept
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t minutesPerUnit(Unit unit) noexcept
{
    switch (unit) {
    case Unit::Minute: return 1;
    case Unit::Hour: return kMinutesPerHour;
    case Unit::Day: return kMinutesPerDay;
    }
    return 1;
}

// Days since 1970-01-01 of day `d` of month `m` of year `y`; months and days
// outside their ranges carry (month 13 is January of the next year, day 0 the
// last day of the month before).
std::int64_t daysOf(std::int64_t y, std::int64_t m, std::int64_t d) noexcept
{
    const std::int64_t m0 = m - 1;
    const std::int64_t fullYear = std::clamp<std::int64_t>(y + floorDiv(m0, 12), -30000, 30000);
    const auto month = static_cast<unsigned>(m0 - floorDiv(m0, 12) * 12 + 1); // [1, 12]
    const sys_days first{std::chrono::year{static_cast<int>(fullYear)} / std::chrono::month{month} /
                         std::chrono::day{1}};
    return first.time_since_epoch().count() + (d - 1);
}

// The year ending in `yy` (two digits) nearest to `aroundYear`; the earlier one on a tie.
std::int64_t nearestYear(std::int64_t yy, int aroundYear) noexcept
{
    const std::int64_t century = floorDiv(aroundYear, 100) * 100;
    std::int64_t best = century - 100 + yy;
    for (const std::int64_t candidate : {century + yy, century + 100 + yy}) {
        if (std::abs(candidate - aroundYear) < std::abs(best - aroundYear))
            best = candidate;
    }
    return best;
}

// The count every computation uses: nextDue's due value and the day unit's
// start stamp must agree on it.
std::int64_t clampedCount(Unit unit, std::int64_t count) noexcept
{
    const std::int64_t limit = kMaxOffsetMinutes / minutesPerUnit(unit);
    return std::clamp(count, -limit, limit);
}

std::string twoDigits(int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

} // namespace

std::int64_t stampOf(const LocalTime& t) noexcept
{
    return std::int64_t{t.year % 100} * 100000000 + std::int64_t{t.month} * 1000000 + t.day * 10000 +
           t.hour * 100 + t.minute;
}

int dayStampOf(const LocalTime& t) noexcept
{
    return t.month * 100 + t.day;
}

std::string formatStamp(const LocalTime& t)
{
    return twoDigits(t.year % 100) + twoDigits(t.month) + twoDigits(t.day) + twoDigits(t.hour) +
           twoDigits(t.minute);
}

std::string stampNumberText(const LocalTime& t)
{
    return std::to_string(stampOf(t));
}

std::int64_t wallMinutes(const LocalTime& t) noexcept
{
    return daysOf(t.year, t.month, t.day) * kMinutesPerDay + t.hour * kMinutesPerHour + t.minute;
}

LocalTime fromWallMinutes(std::int64_t minutes) noexcept
{
    const std::int64_t days = floorDiv(minutes, kMinutesPerDay);
    const std::int64_t inDay = minutes - days * kMinutesPerDay; // [0, 1439]
    const std::chrono::year_month_day date{sys_days{std::chrono::days{days}}};
    LocalTime t;
    t.year = static_cast<int>(date.year());
    t.month = static_cast<int>(static_cast<unsigned>(date.month()));
    t.day = static_cast<int>(static_cast<unsigned>(date.day()));
    t.hour = static_cast<int>(inDay / kMinutesPerHour);
    t.minute = static_cast<int>(inDay % kMinutesPerHour);
    t.second = 0;
    return t;
}

std::string nextDue(Unit unit, std::int64_t count, const LocalTime& now)
{
    const std::int64_t offset = clampedCount(unit, count) * minutesPerUnit(unit);
    const LocalTime due = fromWallMinutes(wallMinutes(now) + offset);

    const bool sameMonth = due.year == now.year && due.month == now.month;
    if (unit == Unit::Day) {
        if (sameMonth)
            return twoDigits(due.month) + twoDigits(due.day);
        return std::to_string(due.month) + twoDigits(due.day);
    }

    const bool sameDay = sameMonth && due.day == now.day;
    const bool plainAddition = unit == Unit::Minute ? sameDay && due.hour == now.hour : sameDay;
    if (plainAddition)
        return stampNumberText(due);

    const int yy = ((due.year % 100) + 100) % 100;
    const std::string year = due.year == now.year ? twoDigits(yy) : std::to_string(yy);
    return year + twoDigits(due.month) + twoDigits(due.day) + twoDigits(due.hour) + twoDigits(due.minute);
}

std::int64_t dueStampMinutes(std::int64_t stamp, const LocalTime& now) noexcept
{
    if (stamp <= 0)
        return kLongAgo;
    const std::int64_t minute = stamp % 100;
    const std::int64_t hour = stamp / 100 % 100;
    const std::int64_t day = stamp / 10000 % 100;
    const std::int64_t month = stamp / 1000000 % 100;
    const std::int64_t yy = stamp / 100000000;
    const std::int64_t year = yy < 100 ? nearestYear(yy, now.year) : std::min<std::int64_t>(yy, 9999);
    return daysOf(year, month, day) * kMinutesPerDay + hour * kMinutesPerHour + minute;
}

std::optional<int> dayStampOffset(std::int64_t dayStamp, const LocalTime& today) noexcept
{
    const std::int64_t month = dayStamp / 100;
    const std::int64_t day = dayStamp % 100;
    if (dayStamp <= 0 || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    const std::int64_t todayDays = daysOf(today.year, today.month, today.day);
    std::int64_t best = daysOf(today.year - 1, month, day) - todayDays;
    for (const int year : {today.year, today.year + 1}) {
        const std::int64_t offset = daysOf(year, month, day) - todayDays;
        if (std::abs(offset) < std::abs(best))
            best = offset;
    }
    return static_cast<int>(best);
}

std::string dayIntervalStart(std::int64_t count, const LocalTime& due)
{
    return formatStamp(fromWallMinutes(wallMinutes(due) - clampedCount(Unit::Day, count) * kMinutesPerDay));
}

std::optional<int> dueDayOffset(std::int64_t count, std::int64_t startStamp, std::int64_t dueDayStamp,
                                const LocalTime& today) noexcept
{
    if (dayIntervalNeedsYear(count) && startStamp > 0) {
        const std::int64_t dueDays =
            floorDiv(dueStampMinutes(startStamp, today), kMinutesPerDay) + clampedCount(Unit::Day, count);
        // daysOf keeps years within 30000 of year 0: the offset fits an int.
        if (dayStampOf(fromWallMinutes(dueDays * kMinutesPerDay)) == dueDayStamp)
            return static_cast<int>(dueDays - daysOf(today.year, today.month, today.day));
    }
    return dayStampOffset(dueDayStamp, today);
}

bool isDue(Unit unit, std::int64_t count, std::int64_t dueStamp, std::int64_t dueDayStamp,
           const LocalTime& now) noexcept
{
    if (unit == Unit::Day) {
        const std::optional<int> offset = dueDayOffset(count, dueStamp, dueDayStamp, now);
        return !offset || *offset <= 0;
    }
    return wallMinutes(now) >= dueStampMinutes(dueStamp, now);
}

bool isTooFarAhead(Unit unit, std::int64_t count, std::int64_t dueStamp, std::int64_t dueDayStamp,
                   const LocalTime& now) noexcept
{
    const std::int64_t perUnit = minutesPerUnit(unit);
    const std::int64_t window = std::clamp(count, -kMaxOffsetMinutes, kMaxOffsetMinutes) *
                                (unit == Unit::Day ? 1 : perUnit);
    if (unit == Unit::Day) {
        const std::optional<int> offset = dueDayOffset(count, dueStamp, dueDayStamp, now);
        return offset && *offset > window;
    }
    return dueStampMinutes(dueStamp, now) - wallMinutes(now) > window;
}

} // namespace plimbury
