#pragma once
// The one rule for numbers read from text (project-file keys, interval boxes):
// leading blanks, an optional sign, then decimal digits, or hexadecimal digits
// after "$", "x", "X", "0x" or "0X"; nothing after the digits. Anything else,
// the empty text and overflow included, throws
// Error("'<text>' is not a valid integer value").

#include <cstdint>
#include <string_view>

namespace plimbury {

std::int32_t toInt32(std::string_view text);   // counts, indices, intervals
std::int64_t toInt64(std::string_view text);   // stamps

} // namespace plimbury
