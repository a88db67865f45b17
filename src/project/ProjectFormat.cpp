#include "project/ProjectFormat.h"

namespace plimbury {

const char* unitWord(Unit unit)
{
    switch (unit) {
    case Unit::Minute:
        return "minute";
    case Unit::Hour:
        return "hour";
    case Unit::Day:
        return "day";
    }
    return "";
}

const char* monitorsWord(MonitorMode mode)
{
    return mode == MonitorMode::Each ? "each" : "same";
}

DisplaySettings displaySettingsOf(std::string_view monitors, std::string_view fit, std::string_view background)
{
    DisplaySettings settings;
    if (monitors == monitorsWord(MonitorMode::Each))
        settings.monitors = MonitorMode::Each;
    settings.fit = fitModeOf(fit).value_or(FitMode::Stretch);
    settings.background = colourOf(background).value_or(Colour{});
    return settings;
}

} // namespace plimbury
