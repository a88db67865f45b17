// A running project meeting any project file and any clock: the resume
// (loadProject) and a few ticks of either channel, with any unit box text.
//   - never a crash or a hang; a load or a tick fails only with one of the
//     program's own messages;
//   - a tick always hands the turn over, and reports a failure that repeats
//     only once (an entry's failure once for that entry);
//   - after a tick that applied an entry the file holds a next index inside
//     the list and a due value the schedule can read back as a number.

#include "FuzzInput.h"
#include "FuzzSupport.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "project/NumberRule.h"
#include "project/ProjectCommands.h"
#include "rotation/RotationTick.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using plimbury::fuzz::failure;

// A text (from the file or a unit box) with a NUL byte shows up to that byte only (what()
// is a C string), so the end of such a conversion message may be missing.
bool g_nulInInput = false;

bool isProgramMessage(std::string_view text, const std::string& path)
{
    return (text.starts_with("'") && (text.ends_with("' is not a valid integer value") || g_nulInInput))
        || text == "Unable to write to " + path
        || (text.starts_with("The project file ") && text.find("entries; a list holds at most") != std::string_view::npos)
        || text == "cannot apply";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plimbury::fuzz::FuzzInput in(data, size);
    const std::filesystem::path dir = plimbury::fuzz::freshScratch("rotation");
    const std::string path = (dir / "show.lmv").string();
    const std::string content = in.text(2048);
    g_nulInInput = content.find('\0') != std::string::npos;
    plimbury::fuzz::writeAll(path, content);

    try {
        plimbury::loadProject(path);
    } catch (const plimbury::Error& e) {
        if (!isProgramMessage(e.what(), path))
            failure("load failed with a text of its own", e.what());
    }

    const bool screensaver = in.flag();
    plimbury::IntervalGroup interval;
    const int unit = in.inRange(0, 3);   // 3: no box enabled
    if (unit < 3) {
        interval.enabled[static_cast<std::size_t>(unit)] = true;
        interval.texts[static_cast<std::size_t>(unit)] = in.flag() ? std::to_string(in.inRange(-2, 70)) : in.text(12);
        g_nulInInput = g_nulInInput || interval.texts[static_cast<std::size_t>(unit)].find('\0') != std::string::npos;
    }
    std::vector<std::string> lines(static_cast<std::size_t>(in.inRange(0, 4)));
    for (std::string& line : lines)
        line = in.flag() ? std::string() : "/pictures/" + std::to_string(&line - lines.data()) + ".bmp";
    const bool applyFails = in.flag();
    const plimbury::ApplyStep apply = [&](const std::string&) {
        if (applyFails)
            throw plimbury::Error("cannot apply");
    };

    plimbury::RotationEngine engine;
    plimbury::RotationChannel& channel = screensaver ? engine.screensaver : engine.wallpaper;
    bool firstTick = true;
    plimbury::LocalTime now{in.inRange(1999, 2101), in.inRange(1, 12), in.inRange(1, 31), in.inRange(0, 23),
                            in.inRange(0, 59), 0};
    std::string lastOther;                            // the last failure that was no entry's
    std::map<std::string, std::string> lastOfEntry;   // entry -> its last failure
    for (int tick = 0; tick < 3; ++tick) {
        const plimbury::TickResult result = channel.tick(engine.files, path, {lines, interval, apply}, firstTick, now);
        if (result.failure) {
            if (!isProgramMessage(*result.failure, path))
                failure("a tick failed with a text of its own", *result.failure);
            std::string& last = result.entry ? lastOfEntry[*result.entry] : lastOther;
            if (*result.failure == last && result.report)
                failure("the same failure was reported twice", last);
            last = *result.failure;
            if (result.entry)
                lastOther.clear();
            continue;
        }
        lastOther.clear();
        // What the next tick will read must still be a schedule.
        const plimbury::ProfileFile file(path);
        const plimbury::ChannelKeys& keys = channel.keys();
        try {
            plimbury::toInt32(file.read(plimbury::kScheduleSection, keys.index));
            plimbury::toInt64(file.read(plimbury::kScheduleSection, keys.dueDay));
            const std::string due = file.read(plimbury::kScheduleSection, keys.dueStamp);
            if (!due.empty())
                plimbury::toInt64(due);
        } catch (const plimbury::Error& e) {
            failure("a successful tick left a schedule that does not read", e.what());
        }
        now.minute = (now.minute + in.inRange(0, 59)) % 60;
    }
    return 0;
}
