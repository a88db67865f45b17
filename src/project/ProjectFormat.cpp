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

} // namespace plimbury
