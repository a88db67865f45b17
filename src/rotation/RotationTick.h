#pragma once
// The rotation tick, run by the wallpaper and the screen-saver channel alike.
//
// A channel is plain data: its list lines, its interval group (which unit box
// is enabled and the texts), its first-tick flag, its three keys in section
// "counttime" of the project file and its apply step. One tick reads the
// stored schedule, resynchronises it on the channel's first tick after the
// program started, and when the interval has elapsed applies the entry at the
// stored index, then writes the next index and the next due value.
//
// Unlike a tick that stops on the first problem and keeps its timer to itself,
// a tick here always hands the turn to the partner channel, and one entry that
// cannot be applied never stops its own channel either: a failing or missing
// picture on one side never stops the other side, nor the other pictures.
//   - A failing entry counts as its turn: the index and the due value advance
//     as after a success, and the entry is tried again when its turn comes
//     round. The tick still ends with the entry's error.
//   - A text that must be a number and is not (a unit box, a key) stops the
//     tick where it is found: nothing after it is written, the same error
//     comes back on the next turn.
//   - An empty entry is skipped: the index moves on, the due value stays, and
//     nothing is applied.
//   - An index outside the list (the list shrank since it was written)
//     starts again at 0.
//   - Each failure is reported once: an entry's error again only when that
//     entry fails with another text or succeeded in between, any other error
//     again only when its text changes or a tick succeeded in between.
//
// Day intervals longer than a day stamp can name (kDayStampReach) also keep
// their start in the due-stamp key, which gives the due day its year.

#include "platform/Clock.h"
#include "project/ProjectFormat.h"
#include "rotation/ProjectFileCache.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace plimbury {

struct ChannelKeys {
    std::string dueStamp;   // next due time, minute and hour units; start of a long day interval
    std::string dueDay;     // next due day, day unit
    std::string index;      // 0-based position of the next entry
    // The screen-saver channel writes its minute-unit due stamp to the due-day
    // key as well.
    bool minuteAlsoWritesDueDay = false;
    // On the first tick the wallpaper channel writes a resynchronised hour-unit
    // stamp as a number; every other resynchronised stamp keeps ten characters.
    bool hourResyncAsNumber = false;
};

// The schedule keys of each list (ProjectFormat.h) with their channel's ways.
ChannelKeys wallpaperChannelKeys();
ChannelKeys screensaverChannelKeys();
// The keys of both channels: what the project file cache keeps.
std::vector<std::string> keptScheduleKeys();

// Makes one entry current on the desktop; throws Error with the user's text.
using ApplyStep = std::function<void(const std::string& entry)>;
// Makes several entries current at once, one per monitor.
using ApplyManyStep = std::function<void(const std::vector<std::string>& entries)>;

struct ChannelInput {
    const std::vector<std::string>& lines;
    const IntervalGroup& interval;
    const ApplyStep& apply;
    // Changes now, as if the interval had elapsed (the user asked for the
    // next entry): the same apply step, index and next due value.
    bool dueNow = false;
    // With `applyMany`, each change applies as many entries at once as
    // `count` says when the change is due (one per monitor), and the index
    // moves on by as many; a count of one applies one entry as `apply`.
    const ApplyManyStep* applyMany = nullptr;
    std::function<std::size_t()> count = {};
};

// The entries one tick handed to the apply step.
struct AppliedEntries {
    std::vector<std::string> done;        // applied without error
    std::optional<std::string> failed;    // the one whose apply step threw; the tick ended with its error
};

// One tick against the project file: reads and writes go to `file` (in
// memory until the caller flushes). `firstTick` is cleared by the first unit
// step; `applied` receives the entries handed to the apply step.
// Throws Error("'<text>' is not a valid integer value") for a key or box text
// that must be a number and is not; what was written before stays written.
// Rethrows what the apply step throws after writing the next index and due
// value, as after a success.
void runTick(ScheduleAccess& file, const ChannelKeys& keys, const ChannelInput& input, bool& firstTick,
             const LocalTime& now, AppliedEntries& applied);

// Decides which failures the user reads, remembering what it showed.
// An entry's failure comes through the first time, and again only after that
// entry failed with another text or was applied in between; successes and
// failures of other entries change nothing for it. Any other failure comes
// through the first time, and again only after its text changed or a tick
// ended otherwise in between.
class ReportGate {
public:
    // `failure`: this tick's error text, nullopt when the tick succeeded;
    // `applied`: what the tick did with its entries (`applied.failed` names
    // the entry the failure belongs to). Returns the text to report now.
    std::optional<std::string> pass(const std::optional<std::string>& failure, const AppliedEntries& applied = {});

    // Forgets the entries not in `lines`, so what it keeps is bounded by the list.
    void keepOnly(const std::vector<std::string>& lines);

private:
    std::optional<std::string> m_lastOther;                // the last failure that was no entry's
    std::map<std::string, std::string> m_byEntry;          // entry -> its failure last reported
};

struct TickResult {
    std::optional<std::string> failure;    // what went wrong in this tick
    std::optional<std::string> report;     // the text to show the user now, if any
    std::optional<std::string> entry;      // the entry whose apply step failed, when that is the failure
};

// One channel with the state it keeps between ticks (what it last reported).
class RotationChannel {
public:
    explicit RotationChannel(ChannelKeys keys) : m_keys(std::move(keys)) {}

    // Opens the project file through `files` (one parse at most, none when
    // the file is unchanged and nothing is written), runs the tick, and writes
    // what it changed to disk at the end of the tick, or where it stopped on
    // an error. Never throws.
    TickResult tick(ProjectFileCache& files, const std::string& projectPath, const ChannelInput& input,
                    bool& firstTick, const LocalTime& now);

    const ChannelKeys& keys() const { return m_keys; }

private:
    ChannelKeys m_keys;
    ReportGate m_gate;
};

// Everything the rotation keeps while the program runs: both channels share
// what is kept of the project file.
struct RotationEngine {
    ProjectFileCache files{keptScheduleKeys()};
    RotationChannel wallpaper{wallpaperChannelKeys()};
    RotationChannel screensaver{screensaverChannelKeys()};
};

} // namespace plimbury
