#pragma once
// The outputs of a running sway, as `swaymsg -t get_outputs` lists them, for
// the backends that give each output a picture of its own (sway's bg command,
// swaybg's -o groups).

#include "desktop/posix/XMonitors.h"
#include "platform/Launcher.h"

#include <string>
#include <string_view>
#include <vector>

namespace plimbury::desktop {

// The active outputs of a get_outputs reply (sway's JSON: an array of
// objects with "name", "active" and "rect"), with their areas in sway's
// layout, ordered by the left edge, then the top edge. Throws Error when the
// reply is not such an array.
std::vector<MonitorArea> swayOutputsOf(std::string_view reply);

// Asks sway through `swaymsg -r -t get_outputs` run by `runner`. Throws Error
// when swaymsg cannot be started, fails, or says what swayOutputsOf cannot read.
std::vector<MonitorArea> readSwayOutputs(const CommandRunner& runner);

// The argument that carries an output's name through swaymsg and sway's
// command parser unchanged (names may hold blanks and quotes).
std::string swayNameArgument(const std::string& name);

} // namespace plimbury::desktop
