#include "ProjectCommands.h"

#include "project/NumberRule.h"

#include "platform/Error.h"
#include "platform/ProfileFile.h"
#include "platform/Store.h"

#include <algorithm>
#include <string_view>

namespace plimbury {

namespace {

bool hasLineBreak(std::string_view text)
{
    return std::ranges::any_of(text, [](char c) { return c == '\r' || c == '\n'; });
}

[[noreturn]] void refuseLineBreak(const std::string& text)
{
    throw Error("'" + text + "' cannot be stored in a project file: it contains a line break");
}

} // namespace

// A line break would split the entry in two and every later load would see a
// different project, so it is refused before the first key is written.
void checkStorable(const ProjectState& state)
{
    for (const IntervalGroup* group : {&state.wallpaper, &state.screensaver}) {
        for (std::size_t i = 0; i < 3; ++i) {
            if (group->enabled[i] && hasLineBreak(group->texts[i]))
                refuseLineBreak(group->texts[i]);
        }
    }
    for (const auto* list : {&state.wallpapers, &state.screensavers}) {
        for (const std::string& entry : *list) {
            if (hasLineBreak(entry))
                refuseLineBreak(entry);
        }
    }
}

namespace {

// The project file used to be written key by key, each write reaching the disk
// at once; a command that stops half-way therefore leaves the keys it wrote so
// far. ProfileFile collects writes in memory, so the error path flushes too.
template <class Writes>
void writeProject(const std::string& path, Writes&& writes)
{
    ProfileFile file(path);
    try {
        writes(file);
    } catch (...) {
        try {
            file.flush();
        } catch (const Error&) {
            // The failure that stopped the command is the one the user must see.
        }
        throw;
    }
    file.flush();
}

void writeIntervals(ProfileFile& file, const IntervalGroup& group, const ProjectListKeys& keys)
{
    for (std::size_t i = 0; i < 3; ++i) {
        if (!group.enabled[i])
            continue;
        file.write(kScheduleSection, keys.unitKey, unitWord(kUnits[i]));
        file.write(kScheduleSection, keys.countTextKey, group.texts[i]);
    }
}

void writeListsAndCounts(ProfileFile& file, const ProjectState& state)
{
    file.write(kCountItemSection, kScreensaverListKeys.countKey, std::to_string(state.screensavers.size()));
    file.write(kCountItemSection, kWallpaperListKeys.countKey, std::to_string(state.wallpapers.size()));
    for (const auto& [list, keys] : {std::pair{&state.wallpapers, &kWallpaperListKeys},
                                     std::pair{&state.screensavers, &kScreensaverListKeys}}) {
        std::string key = keys->itemPrefix;
        for (std::size_t i = 0; i < list->size(); ++i) {
            key.resize(2);
            key += std::to_string(i);
            file.write(keys->itemSection, key, (*list)[i]);
        }
    }
}

std::vector<std::string> readEntries(const ProfileFile& file, const ProjectListKeys& keys, std::int32_t count)
{
    std::vector<std::string> entries;
    if (count <= 0)
        return entries;
    entries.reserve(static_cast<std::size_t>(count));
    std::string key = keys.itemPrefix;
    for (std::int32_t i = 0; i < count; ++i) {
        key.resize(2);
        key += std::to_string(i);
        entries.push_back(file.read(keys.itemSection, key));
    }
    return entries;
}

std::optional<std::pair<Unit, std::string>> readInterval(const ProfileFile& file, const ProjectListKeys& keys)
{
    const std::string word = file.read(kScheduleSection, keys.unitKey);
    for (Unit unit : kUnits) {
        if (word == unitWord(unit))
            return std::pair{unit, file.read(kScheduleSection, keys.countTextKey)};
    }
    return std::nullopt;
}

bool allZero(const IntervalGroup& group)
{
    for (const std::string& text : group.texts) {
        if (text != "0")
            return false;
    }
    return true;
}

// The wallpaper's due keys of Save and Run for one enabled box. The order of
// the writes fixes the order of the lines of a new file.
void writeWallpaperSchedule(ProfileFile& file, Unit unit, const std::string& text,
                            const FirstDue& firstDue, const std::string& savedStamp)
{
    file.write(kScheduleSection, kWallpaperListKeys.unitKey, unitWord(unit));
    file.write(kScheduleSection, kWallpaperListKeys.countTextKey, text);
    file.write(kScheduleSection, kWallpaperListKeys.indexKey, "0");
    switch (unit) {
    case Unit::Minute: {
        // The minute unit starts by clearing all four due values, the screen
        // saver's as well: project files have always had these keys in this
        // order, and a screen-saver group saved after it writes its own.
        file.write(kScheduleSection, kWallpaperListKeys.dueDayKey, "0");
        file.write(kScheduleSection, kWallpaperListKeys.dueStampKey, "0");
        file.write(kScheduleSection, kScreensaverListKeys.dueDayKey, "0");
        file.write(kScheduleSection, kScreensaverListKeys.dueStampKey, "0");
        const std::int32_t n = toInt32(text);
        file.write(kScheduleSection, kWallpaperListKeys.dueStampKey, firstDue(unit, n));
        break;
    }
    case Unit::Hour: {
        const std::int32_t n = toInt32(text);
        file.write(kScheduleSection, kWallpaperListKeys.dueStampKey, firstDue(unit, n));
        file.write(kScheduleSection, kWallpaperListKeys.dueDayKey, "0");
        break;
    }
    case Unit::Day: {
        const std::int32_t n = toInt32(text);
        file.write(kScheduleSection, kWallpaperListKeys.dueDayKey, firstDue(unit, n));
        file.write(kScheduleSection, kWallpaperListKeys.dueStampKey, savedStamp);
        break;
    }
    }
}

void writeScreensaverSchedule(ProfileFile& file, Unit unit, const std::string& text,
                              const FirstDue& firstDue, const std::string& savedStamp)
{
    file.write(kScheduleSection, kScreensaverListKeys.unitKey, unitWord(unit));
    file.write(kScheduleSection, kScreensaverListKeys.countTextKey, text);
    file.write(kScheduleSection, kScreensaverListKeys.indexKey, "0");
    const std::int32_t n = toInt32(text);
    const std::string due = firstDue(unit, n);
    switch (unit) {
    case Unit::Minute:
        file.write(kScheduleSection, kScreensaverListKeys.dueStampKey, due);
        file.write(kScheduleSection, kScreensaverListKeys.dueDayKey, due);
        break;
    case Unit::Hour:
        file.write(kScheduleSection, kScreensaverListKeys.dueStampKey, due);
        file.write(kScheduleSection, kScreensaverListKeys.dueDayKey, "0");
        break;
    case Unit::Day:
        file.write(kScheduleSection, kScreensaverListKeys.dueDayKey, due);
        // The moment of saving, as for the wallpaper: a day interval longer
        // than half a year is counted from it ("0" would make the first
        // change come at once).
        file.write(kScheduleSection, kScreensaverListKeys.dueStampKey, savedStamp);
        break;
    }
}

} // namespace

DisplaySettings readDisplaySettings(const ProfileFile& file)
{
    return displaySettingsOf(file.read(kDisplaySection, kMonitorsKey), file.read(kDisplaySection, kFitKey),
                             file.read(kDisplaySection, kBackgroundKey));
}

void writeDisplaySettings(ProfileFile& file, const DisplaySettings& display)
{
    // A project that never asked for them stays the file older versions wrote.
    if (display == DisplaySettings{} && !file.hasSection(kDisplaySection))
        return;
    file.write(kDisplaySection, kMonitorsKey, monitorsWord(display.monitors));
    file.write(kDisplaySection, kFitKey, fitWord(display.fit));
    file.write(kDisplaySection, kBackgroundKey, colourText(display.background));
}

LoadedProject loadProject(const std::string& path)
{
    const ProfileFile file(path);
    // Both counts are converted before anything else, so a file that is not a
    // project stops the load before the caller has touched its lists.
    const std::int32_t wallpaperCount = toInt32(file.read(kCountItemSection, kWallpaperListKeys.countKey));
    const std::int32_t screensaverCount = toInt32(file.read(kCountItemSection, kScreensaverListKeys.countKey));
    for (std::int32_t count : {wallpaperCount, screensaverCount}) {
        if (count > kMaxEntries) {
            throw Error("The project file " + path + " lists " + std::to_string(count) +
                        " entries; a list holds at most " + std::to_string(kMaxEntries));
        }
    }

    LoadedProject project;
    project.wallpapers = readEntries(file, kWallpaperListKeys, wallpaperCount);
    project.screensavers = readEntries(file, kScreensaverListKeys, screensaverCount);
    project.wallpaperInterval = readInterval(file, kWallpaperListKeys);
    project.screensaverInterval = readInterval(file, kScreensaverListKeys);
    project.display = readDisplaySettings(file);
    return project;
}

void saveProject(const std::string& path, const ProjectState& state)
{
    checkStorable(state);
    writeProject(path, [&](ProfileFile& file) {
        writeIntervals(file, state.wallpaper, kWallpaperListKeys);
        writeIntervals(file, state.screensaver, kScreensaverListKeys);
        writeListsAndCounts(file, state);
        writeDisplaySettings(file, state.display);
    });
}

bool intervalsFilledIn(const ProjectState& state)
{
    return !allZero(state.wallpaper) && !allZero(state.screensaver);
}

void checkBeforeSaveAndRun(const ProjectState& state)
{
    // In the order Save and Run converts them, so the message names the same
    // text the write would have stopped at.
    for (const IntervalGroup* group : {&state.wallpaper, &state.screensaver}) {
        for (std::size_t i = 0; i < 3; ++i) {
            if (group->enabled[i])
                toInt32(group->texts[i]);
        }
    }
    checkStorable(state);
}

void saveAndRunProject(const std::string& path, const ProjectState& state,
                       const FirstDue& firstDue, const std::string& savedStamp)
{
    checkStorable(state);
    writeProject(path, [&](ProfileFile& file) {
        // Several enabled boxes in a group each write in turn; the last one stands.
        for (std::size_t i = 0; i < 3; ++i) {
            if (state.wallpaper.enabled[i])
                writeWallpaperSchedule(file, kUnits[i], state.wallpaper.texts[i], firstDue, savedStamp);
        }
        for (std::size_t i = 0; i < 3; ++i) {
            if (state.screensaver.enabled[i])
                writeScreensaverSchedule(file, kUnits[i], state.screensaver.texts[i], firstDue, savedStamp);
        }
        writeListsAndCounts(file, state);
        writeDisplaySettings(file, state.display);
    });
}

void recordSelectedProject(Store& store, const std::string& path)
{
    if (const auto key = store.openKey(Root::LocalMachine, kProgramKey))
        key->write(kSelectedValue, path);
}

} // namespace plimbury
