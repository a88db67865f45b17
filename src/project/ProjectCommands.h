#pragma once
// The project commands without the window: the window gathers its state into
// these structures, calls the command and applies the result.

#include "project/ProjectFormat.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plimbury {

class ProfileFile;
class Store;

// What Save and Save and Run take from the window.
struct ProjectState {
    std::vector<std::string> wallpapers;     // FileListBox1, in its order
    std::vector<std::string> screensavers;   // FileListBox2, in its order
    IntervalGroup wallpaper;                 // Edit1..Edit3
    IntervalGroup screensaver;               // Edit4..Edit6
    DisplaySettings display;
};

// What Open and the resume at start put into the window.
struct LoadedProject {
    std::vector<std::string> wallpapers;     // in key order (the lists sort them)
    std::vector<std::string> screensavers;
    // The unit named by swtime/sstime and the text of swrefreshtime/ssrefreshtime;
    // nullopt when the word is none of the three (the group is left as it was).
    std::optional<std::pair<Unit, std::string>> wallpaperInterval;
    std::optional<std::pair<Unit, std::string>> screensaverInterval;
    DisplaySettings display;
};

// Reads a project: both counts are converted before anything else (a missing
// file or count throws "'<text>' is not a valid integer value"); a count above
// kMaxEntries is refused with a clear message; a negative count loads nothing.
inline constexpr std::int32_t kMaxEntries = 1000000;
LoadedProject loadProject(const std::string& path);

// Throws Error("'<text>' cannot be stored in a project file: it contains a
// line break") for the first list entry or enabled box text holding a CR or LF.
void checkStorable(const ProjectState& state);

// Save: the intervals, the counts and the entries, in the file's order of writes.
// Runs checkStorable first (nothing is written when it throws).
// Throws Error("Unable to write to <path>") (keys written so far reach the disk).
void saveProject(const std::string& path, const ProjectState& state);

// The check of Save and Run: false when the three texts of either group are all "0".
bool intervalsFilledIn(const ProjectState& state);
inline constexpr const char* kFillInMessage = "please fill in the wallpaper or screensaver time setup ";

// Checks that Save and Run can write everything it would (every enabled box is
// a number, no entry holds a line break); throws the user's message otherwise.
void checkBeforeSaveAndRun(const ProjectState& state);

// The first due value of a list for `count` units, from the moment of saving.
using FirstDue = std::function<std::string(Unit unit, std::int32_t count)>;

// Save and Run's writes to the project file, in their order; `savedStamp` is
// the stamp of the moment of saving as text (for the day unit). Runs
// checkStorable first; an enabled box that is not a number stops the writes at
// that box with the conversion message, the keys written before it reaching
// the disk (checkBeforeSaveAndRun keeps the window from getting there).
void saveAndRunProject(const std::string& path, const ProjectState& state,
                       const FirstDue& firstDue, const std::string& savedStamp);

// The [display] section: read with defaults for what is missing or unknown;
// written whole, unless the settings are the defaults and the file has no
// such section (then nothing is written).
DisplaySettings readDisplaySettings(const ProfileFile& file);
void writeDisplaySettings(ProfileFile& file, const DisplaySettings& display);

// Records `path` as the selected project (settime_selected); silently skipped
// when the key cannot be opened.
void recordSelectedProject(Store& store, const std::string& path);

} // namespace plimbury
