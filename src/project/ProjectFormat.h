#pragma once
// The project file (".lmv", INI text): its sections and keys, the interval
// units and the interval group they are saved from. Files written by every
// earlier version carry these names; none may change.
//
//   [countitem]  swcount, sscount               the two list lengths
//   [switem]     sw0, sw1, ...                  the wallpaper entries
//   [ssitem]     ss0, ss1, ...                  the screen-saver entries
//   [counttime]  swtime, swrefreshtime          the wallpaper interval: unit word and count
//                sw_no, setup_sw_minute,        its next position and due values
//                setup_swminute
//                sstime, ssrefreshtime, ss_no,  the same for the screen saver
//                screensaver_setup_sw_minute,
//                screensaver_setup_swminute
//   [display]    monitors, fit, background      how the pictures meet the monitors; written
//                                               only once a project asks for other than the
//                                               defaults, and read by default where missing

#include "imaging/Placement.h"

#include <array>
#include <string>
#include <string_view>

namespace plimbury {

inline constexpr const char* kCountItemSection = "countitem";
inline constexpr const char* kScheduleSection = "counttime";

// The names of one list. The two lists use different names for the same
// meanings, and the screen-saver due keys are not simply prefixed.
struct ProjectListKeys {
    const char* countKey;       // [countitem]: the number of entries
    const char* itemSection;    // the entries' own section
    const char* itemPrefix;     // entry i is <prefix><i>
    const char* unitKey;        // [counttime]: "minute", "hour" or "day"
    const char* countTextKey;   // [counttime]: the interval's count as typed
    const char* indexKey;       // [counttime]: 0-based position of the next entry
    const char* dueStampKey;    // [counttime]: next due stamp (minute, hour); start of a long day interval
    const char* dueDayKey;      // [counttime]: next due day stamp (day unit)
};

inline constexpr ProjectListKeys kWallpaperListKeys{
    "swcount", "switem", "sw", "swtime", "swrefreshtime", "sw_no", "setup_sw_minute", "setup_swminute"};
inline constexpr ProjectListKeys kScreensaverListKeys{"sscount",
                                                      "ssitem",
                                                      "ss",
                                                      "sstime",
                                                      "ssrefreshtime",
                                                      "ss_no",
                                                      "screensaver_setup_sw_minute",
                                                      "screensaver_setup_swminute"};

inline constexpr const char* kDisplaySection = "display";
inline constexpr const char* kMonitorsKey = "monitors";
inline constexpr const char* kFitKey = "fit";
inline constexpr const char* kBackgroundKey = "background";

enum class MonitorMode {
    Same,   // every monitor shows the entry
    Each,   // the monitors, left to right then top to bottom, show the next entries in turn
};
// "same", "each".
const char* monitorsWord(MonitorMode mode);

// The [display] settings. A missing key, or a value this version does not
// know (a later one may add values), means the default.
struct DisplaySettings {
    MonitorMode monitors = MonitorMode::Same;
    FitMode fit = FitMode::Stretch;
    Colour background;
    friend bool operator==(const DisplaySettings&, const DisplaySettings&) = default;
};
DisplaySettings displaySettingsOf(std::string_view monitors, std::string_view fit, std::string_view background);

enum class Unit { Minute = 0, Hour = 1, Day = 2 };
inline constexpr Unit kUnits[] = {Unit::Minute, Unit::Hour, Unit::Day};

// "minute", "hour", "day": the unit words of the file.
const char* unitWord(Unit unit);

// One interval group of the window: its three edit boxes (minute, hour, day).
struct IntervalGroup {
    std::array<bool, 3> enabled{};
    std::array<std::string, 3> texts{"0", "0", "0"};
};

} // namespace plimbury
