#pragma once
// Steering the running program from the command line: the commands, the pause
// kept in the store, and the status report.

#include "platform/Clock.h"

#include <optional>
#include <string>
#include <vector>

namespace plimbury {

class Store;

enum class ControlCommand { Next, NextScreensaver, Pause, Resume, Status, Help };

// The command the arguments name: exactly one of --next, --next-screensaver,
// --pause, --resume, --status, --help. nullopt for anything else, which keeps
// its old meaning (/TRAY, or the running copy's window shown).
std::optional<ControlCommand> controlCommandOf(const std::vector<std::string>& arguments);

// The argument that names the command ("--next", ...).
const char* controlArgument(ControlCommand command);

// What --help prints.
std::string controlUsage();

// The pause: the value "paused" = "1" under the program's key, so a paused
// show stays paused after a log-off. Reading never throws (a missing key or
// value is "not paused"); setting throws Error("Failed to set data for
// 'paused'") or Error("Failed to create key software\\lumavuetest").
bool rotationPaused(Store& store);
void setRotationPaused(Store& store, bool paused);

// The status report: the selected project, and for each list its entry shown
// now, the next one, the unit, the interval and the next change, whether the
// show is paused, and the display settings where they are not the defaults. Reads the store and the project file only. Throws the
// project file's errors ("'<text>' is not a valid integer value", ...).
std::string statusReport(Store& store, const LocalTime& now);

} // namespace plimbury
