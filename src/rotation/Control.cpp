#include "rotation/Control.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"
#include "project/NumberRule.h"
#include "project/ProjectCommands.h"
#include "project/ProjectFormat.h"
#include "project/SortedList.h"
#include "rotation/ProjectFileCache.h"
#include "rotation/RotationTick.h"
#include "rotation/Schedule.h"

#include <array>
#include <cstdio>
#include <memory>
#include <utility>

namespace plimbury {

namespace {

struct Named {
    ControlCommand command;
    const char* argument;
};

constexpr std::array<Named, 6> kCommands{{
    {ControlCommand::Next, "--next"},
    {ControlCommand::NextScreensaver, "--next-screensaver"},
    {ControlCommand::Pause, "--pause"},
    {ControlCommand::Resume, "--resume"},
    {ControlCommand::Status, "--status"},
    {ControlCommand::Help, "--help"},
}};

std::string dateText(const LocalTime& t, bool withTime)
{
    char text[32];
    if (withTime)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

struct ChannelView {
    const char* title;
    const ProjectListKeys& names;   // the interval as the project file words it
    ChannelKeys keys;      // where the rotation keeps its place and due time
};

// One list's lines of the report. Values that are not numbers are shown as
// they are stored: the report describes, the rotation judges.
std::string channelReport(const ChannelView& view, const std::vector<std::string>& entries,
                          const std::optional<std::pair<Unit, std::string>>& interval, const ProfileFile& file,
                          const LocalTime& now)
{
    std::string out = std::string(view.title) + ":\n";
    const std::string unitWordText = file.read(kScheduleSection, view.names.unitKey);
    const std::string countText = file.read(kScheduleSection, view.names.countTextKey);
    if (entries.empty()) {
        out += "  no entries\n";
    } else {
        std::int64_t index = 0;
        try {
            index = toInt64(file.read(kScheduleSection, view.keys.index));
        } catch (const Error&) {
        }
        if (index < 0 || static_cast<std::size_t>(index) >= entries.size())
            index = 0;
        const std::size_t next = static_cast<std::size_t>(index);
        const std::size_t current = (next + entries.size() - 1) % entries.size();
        out += "  current: " + entries[current] + "\n";
        out += "  next:    " + entries[next] + " (" + std::to_string(next + 1) + " of " +
               std::to_string(entries.size()) + ")\n";
    }
    out += "  every:   " + (countText.empty() ? std::string("?") : countText) + " " +
           (unitWordText.empty() ? std::string("?") : unitWordText) + "\n";

    // The unit as the window takes it from the file; none for a word it does not know.
    std::string due = "unknown";
    try {
        if (interval) {
            const std::int64_t count = toInt64(interval->second);
            const std::string dueStampText = file.read(kScheduleSection, view.keys.dueStamp);
            const std::int64_t dueStamp = dueStampText.empty() ? 0 : toInt64(dueStampText);
            if (interval->first != Unit::Day) {
                const std::int64_t minutes = dueStampMinutes(dueStamp, now);
                due = minutes <= wallMinutes(now) ? "due now" : dateText(fromWallMinutes(minutes), true);
            } else {
                const std::int64_t dueDay = toInt64(file.read(kScheduleSection, view.keys.dueDay));
                const std::optional<int> days = dueDayOffset(count, dueStamp, dueDay, now);
                if (!days || *days <= 0)
                    due = "due now";
                else
                    due = dateText(fromWallMinutes(wallMinutes(now) + std::int64_t{*days} * 24 * 60), false);
            }
        }
    } catch (const Error&) {
    }
    out += "  change:  " + due + "\n";
    return out;
}

} // namespace

std::optional<ControlCommand> controlCommandOf(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 1)
        return std::nullopt;
    for (const Named& named : kCommands) {
        if (arguments.front() == named.argument)
            return named.command;
    }
    return std::nullopt;
}

const char* controlArgument(ControlCommand command)
{
    for (const Named& named : kCommands) {
        if (named.command == command)
            return named.argument;
    }
    return "";
}

std::string controlUsage()
{
    return "Usage: plimbury [/TRAY | --next | --next-screensaver | --pause | --resume | --status | --help]\n"
           "\n"
           "Without arguments the program starts, or shows the window of the copy that runs.\n"
           "  /TRAY               start in the notification area (as at log-on)\n"
           "  --next              the running copy changes the wallpaper now\n"
           "  --next-screensaver  the running copy changes the screen saver now\n"
           "  --pause             stop both rotations until --resume (kept over a log-off)\n"
           "  --resume            go on after --pause\n"
           "  --status            the selected project, each list's entry and next change\n"
           "  --help              this text\n";
}

bool rotationPaused(Store& store)
{
    if (!store.keyExists(Root::LocalMachine, kProgramKey))
        return false;
    const std::unique_ptr<StoreKey> key = store.openKey(Root::LocalMachine, kProgramKey);
    return key && key->read(kPausedValue) == "1";
}

void setRotationPaused(Store& store, bool paused)
{
    const std::unique_ptr<StoreKey> key = store.openKey(Root::LocalMachine, kProgramKey);
    if (!key)
        throw Error(std::string("Failed to create key ") + kProgramKey);
    key->write(kPausedValue, paused ? "1" : "0");
}

std::string statusReport(Store& store, const LocalTime& now)
{
    std::string project;
    bool paused = false;
    if (store.keyExists(Root::LocalMachine, kProgramKey)) {
        if (const std::unique_ptr<StoreKey> key = store.openKey(Root::LocalMachine, kProgramKey)) {
            project = key->read(kSelectedValue);
            paused = key->read(kPausedValue) == "1";
        }
    }
    std::string out = "Paused: " + std::string(paused ? "yes" : "no") + "\n";
    if (project.empty())
        return "No project is selected.\n" + out;
    const LoadedProject loaded = loadProject(project);
    // The index counts in the lists' order, as the window sorts them.
    const auto sorted = [](std::vector<std::string> lines) {
        SortedList list;
        list.assign(std::move(lines));
        return list.lines();
    };
    const ProfileFile file(project);
    out = "Project: " + project + "\n" + out;
    out += channelReport({"Wallpaper", kWallpaperListKeys, wallpaperChannelKeys()}, sorted(loaded.wallpapers),
                         loaded.wallpaperInterval, file, now);
    out += channelReport({"Screen saver", kScreensaverListKeys, screensaverChannelKeys()},
                         sorted(loaded.screensavers), loaded.screensaverInterval, file, now);
    if (loaded.display != DisplaySettings{}) {
        out += std::string("Display:\n  monitors:   ") + monitorsWord(loaded.display.monitors) +
               "\n  fit:        " + fitWord(loaded.display.fit) +
               "\n  background: " + colourText(loaded.display.background) + "\n";
    }
    return out;
}

} // namespace plimbury
