#include "rotation/RotationTick.h"

#include "platform/Error.h"
#include "project/NumberRule.h"
#include "rotation/Schedule.h"

#include <algorithm>
#include <array>
#include <exception>

namespace plimbury {

namespace {

struct StoredSchedule {
    std::int64_t dueStamp = 0;
    std::int64_t dueDay = 0;
};

// The text that puts the due value back to now, in the shape each channel has
// always written it.
std::string resyncText(Unit unit, const ChannelKeys& keys, const LocalTime& now)
{
    if (unit == Unit::Day)
        return std::to_string(dayStampOf(now));
    if (unit == Unit::Hour && keys.hourResyncAsNumber)
        return stampNumberText(now);
    return formatStamp(now);
}

bool allEmpty(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (!line.empty())
            return false;
    }
    return true;
}

void unitStep(ScheduleAccess& file, const ChannelKeys& keys, const ChannelInput& input, Unit unit,
              const std::string& countText, const StoredSchedule& stored, bool& firstTick,
              const LocalTime& now, AppliedEntries& applied)
{
    const std::int32_t count = toInt32(countText);
    const bool dayWithYear = unit == Unit::Day && dayIntervalNeedsYear(count);

    if (firstTick) {
        // A due value in the past stays (it is due now); one within the
        // interval is a schedule running normally; only one further ahead
        // than a whole interval can come from a clock set back.
        if (isTooFarAhead(unit, count, stored.dueStamp, stored.dueDay, now)) {
            const std::string& key = unit == Unit::Day ? keys.dueDay : keys.dueStamp;
            file.write(key, resyncText(unit, keys, now));
            // The start stays with the due day: left as it was, it would
            // still name the due day far ahead whenever that falls on
            // today's month and day.
            if (dayWithYear)
                file.write(keys.dueStamp, dayIntervalStart(count, now));
        }
        firstTick = false;
    }

    // Against the values read at the start of the tick: a resynchronisation
    // takes effect on the channel's next turn.
    if (!input.dueNow && !isDue(unit, count, stored.dueStamp, stored.dueDay, now))
        return;
    const std::vector<std::string>& lines = input.lines;
    if (lines.empty())
        return;

    std::int32_t index = toInt32(file.read(keys.index));
    if (index < 0 || static_cast<std::size_t>(index) >= lines.size())
        index = 0;
    const std::string& entry = lines[static_cast<std::size_t>(index)];
    std::int32_t next = static_cast<std::size_t>(index) + 1 == lines.size() ? 0 : index + 1;

    // A picture for each monitor: the entries from the index on, as many as
    // there are monitors, the list repeating when it is shorter; empty
    // entries are passed over. The index moves on by the number of monitors.
    std::vector<std::string> group;
    const std::size_t take = input.applyMany && input.count ? input.count() : 1;
    if (take > 1) {
        if (allEmpty(lines))
            return;
        for (std::size_t step = 0; group.size() < take; ++step) {
            const std::string& line = lines[(static_cast<std::size_t>(index) + step) % lines.size()];
            if (!line.empty())
                group.push_back(line);
        }
        next = static_cast<std::int32_t>((static_cast<std::size_t>(index) + take) % lines.size());
    }

    if (group.empty() && entry.empty()) {
        // A list of nothing but empty lines has nothing to apply, like an
        // empty one; writing the index every turn would only wear the file.
        if (!allEmpty(lines))
            file.write(keys.index, std::to_string(next));
        return;
    }

    // A failing entry takes its turn like any other: retried at once, it
    // would hold back every entry after it for as long as it fails.
    std::exception_ptr failed;
    try {
        if (group.empty())
            input.apply(entry);
        else
            (*input.applyMany)(group);
    } catch (...) {
        failed = std::current_exception();
    }
    if (!failed) {
        if (group.empty())
            applied.done.push_back(entry);
        else
            applied.done.insert(applied.done.end(), group.begin(), group.end());
    }

    file.write(keys.index, std::to_string(next));
    const std::string due = nextDue(unit, count, now);
    if (unit == Unit::Day) {
        file.write(keys.dueDay, due);
        if (dayWithYear)
            file.write(keys.dueStamp, formatStamp(now));
    } else {
        file.write(keys.dueStamp, due);
        if (unit == Unit::Minute && keys.minuteAlsoWritesDueDay)
            file.write(keys.dueDay, due);
    }
    if (failed) {
        applied.failed = group.empty() ? entry : group.front();
        std::rethrow_exception(failed);
    }
}

} // namespace

ChannelKeys wallpaperChannelKeys()
{
    const ProjectListKeys& names = kWallpaperListKeys;
    return ChannelKeys{names.dueStampKey, names.dueDayKey, names.indexKey, false, true};
}

ChannelKeys screensaverChannelKeys()
{
    const ProjectListKeys& names = kScreensaverListKeys;
    return ChannelKeys{names.dueStampKey, names.dueDayKey, names.indexKey, true, false};
}

std::vector<std::string> keptScheduleKeys()
{
    std::vector<std::string> keys;
    for (const ChannelKeys& channel : {wallpaperChannelKeys(), screensaverChannelKeys()}) {
        keys.push_back(channel.dueStamp);
        keys.push_back(channel.dueDay);
        keys.push_back(channel.index);
    }
    return keys;
}

void runTick(ScheduleAccess& file, const ChannelKeys& keys, const ChannelInput& input, bool& firstTick,
             const LocalTime& now, AppliedEntries& applied)
{
    StoredSchedule stored;
    const std::string dueStampText = file.read(keys.dueStamp);
    stored.dueStamp = dueStampText.empty() ? 0 : toInt64(dueStampText);
    // The screen-saver channel keeps a whole stamp here in the minute unit,
    // hence 64 bits.
    stored.dueDay = toInt64(file.read(keys.dueDay));
    // Only checked here; the unit step reads it again when it needs it.
    toInt32(file.read(keys.index));

    constexpr std::array<Unit, 3> units{Unit::Minute, Unit::Hour, Unit::Day};
    for (const Unit unit : units) {
        const auto i = static_cast<std::size_t>(unit);
        if (input.interval.enabled[i])
            unitStep(file, keys, input, unit, input.interval.texts[i], stored, firstTick, now, applied);
    }
}

std::optional<std::string> ReportGate::pass(const std::optional<std::string>& failure,
                                            const AppliedEntries& applied)
{
    for (const std::string& entry : applied.done)
        m_byEntry.erase(entry);
    if (!failure) {
        m_lastOther.reset();
        return std::nullopt;
    }
    if (applied.failed) {
        m_lastOther.reset();
        const auto [it, first] = m_byEntry.try_emplace(*applied.failed, *failure);
        if (!first) {
            if (it->second == *failure)
                return std::nullopt;
            it->second = *failure;
        }
        return failure;
    }
    if (m_lastOther == failure)
        return std::nullopt;
    m_lastOther = failure;
    return failure;
}

void ReportGate::keepOnly(const std::vector<std::string>& lines)
{
    if (m_byEntry.empty())
        return;
    // Seldom more than an entry or two is remembered; the list can be long.
    std::erase_if(m_byEntry, [&](const auto& remembered) {
        return std::find(lines.begin(), lines.end(), remembered.first) == lines.end();
    });
}

TickResult RotationChannel::tick(ProjectFileCache& files, const std::string& projectPath,
                                 const ChannelInput& input, bool& firstTick, const LocalTime& now)
{
    TickResult result;
    AppliedEntries applied;
    bool entryFailed = false;
    try {
        ScheduleAccess file = files.open(projectPath);
        std::exception_ptr stopped;
        try {
            runTick(file, m_keys, input, firstTick, now, applied);
        } catch (...) {
            stopped = std::current_exception();
        }
        // What was written before a failure stays written; a refused write is
        // then the first failure the user should read. It is no entry's
        // failure: the entry's turn did not reach the disk.
        file.flush();
        if (stopped) {
            entryFailed = applied.failed.has_value();
            std::rethrow_exception(stopped);
        }
    } catch (const std::exception& e) {
        result.failure = e.what();
    } catch (...) {
        result.failure = "Unknown error";
    }
    if (!entryFailed)
        applied.failed.reset();
    result.entry = applied.failed;
    m_gate.keepOnly(input.lines);
    result.report = m_gate.pass(result.failure, applied);
    return result;
}

} // namespace plimbury
