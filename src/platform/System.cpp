#include "platform/System.h"

#include <cstdlib>

namespace plimbury {

std::string environmentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace plimbury
