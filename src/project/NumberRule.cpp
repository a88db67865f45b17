#include "NumberRule.h"

#include "platform/Error.h"

#include <limits>
#include <string>

namespace plimbury {

namespace {

[[noreturn]] void fail(std::string_view text)
{
    throw Error("'" + std::string(text) + "' is not a valid integer value");
}

int digitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v;
}

std::int64_t convert(std::string_view text, std::int64_t lowest, std::int64_t highest)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        fail(text);
    // Accumulate as a negative number so the lowest value of the range fits.
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            fail(text);
        if (value < (std::numeric_limits<std::int64_t>::min() + d) / base)
            fail(text);
        value = value * base - d;
    }
    if (!negative) {
        if (value < -highest)
            fail(text);
        return -value;
    }
    if (value < lowest)
        fail(text);
    return value;
}

} // namespace

std::int32_t toInt32(std::string_view text)
{
    return static_cast<std::int32_t>(convert(text, std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
}

std::int64_t toInt64(std::string_view text)
{
    return convert(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

} // namespace plimbury
