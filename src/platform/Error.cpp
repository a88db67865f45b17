#include "Error.h"

#include <cstring>

namespace plimbury {

std::string systemErrorText(int errnoValue)
{
    return std::strerror(errnoValue);
}

std::string errorReportText(const std::string& text)
{
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

} // namespace plimbury
