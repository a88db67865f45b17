// The number rule against a model written from its description alone: blanks,
// an optional sign, a hexadecimal prefix, digits, nothing after them, and the
// value within the type. Any text either converts to the model's value or
// fails with the model's message, for both widths.

#include "FuzzSupport.h"

#include "platform/Error.h"
#include "project/NumberRule.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace {

// nullopt: not a number, or not within [lowest, highest].
std::optional<std::int64_t> modelValue(std::string_view text, std::int64_t lowest, std::int64_t highest)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    unsigned base = 10;
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("0x") || rest.starts_with("0X")) {
        base = 16;
        i += 2;
    } else if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        base = 16;
        i += 1;
    }
    if (i == text.size())
        return std::nullopt;
    // The magnitude, saturated far beyond any 64-bit value.
    constexpr std::uint64_t cap = std::uint64_t{1} << 63;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit = 99;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        if (digit >= base)
            return std::nullopt;
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / base)
            magnitude = cap + 1;
        else
            magnitude = std::min(magnitude * base + digit, cap + 1);
    }
    // -lowest as a magnitude: one more than highest's.
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(-(lowest + 1)) + 1 : static_cast<std::uint64_t>(highest);
    if (magnitude > limit)
        return std::nullopt;
    if (!negative)
        return static_cast<std::int64_t>(magnitude);
    return magnitude == cap ? lowest : -static_cast<std::int64_t>(magnitude);
}

template <class Int, class Convert>
void check(std::string_view text, Convert convert)
{
    const auto expected = modelValue(text, std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max());
    try {
        const Int got = convert(text);
        if (!expected)
            plimbury::fuzz::failure("converted, the model refuses", text);
        if (std::int64_t{got} != *expected)
            plimbury::fuzz::failure("value differs from the model", text);
    } catch (const plimbury::Error& e) {
        if (expected)
            plimbury::fuzz::failure("refused, the model converts", text);
        // what() is a C string: a text with a NUL byte shows up to it.
        std::string message = "'" + std::string(text) + "' is not a valid integer value";
        message.resize(std::min(message.size(), message.find('\0')));
        if (e.what() != message)
            plimbury::fuzz::failure("wrong message", text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check<std::int32_t>(text, [](std::string_view t) { return plimbury::toInt32(t); });
    check<std::int64_t>(text, [](std::string_view t) { return plimbury::toInt64(t); });
    return 0;
}
