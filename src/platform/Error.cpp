#include "Error.h"

#include <cstring>

namespace plimbury {

std::string systemErrorText(int errnoValue)
{
    return std::strerror(errnoValue);
}

} // namespace plimbury
