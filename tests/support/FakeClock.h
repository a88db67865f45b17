#pragma once
// A clock that stands where the test puts it, and the calendar arithmetic
// that turns a moment into local time with the standard library alone, so
// expectations never come from the program's own date code.

#include "platform/Clock.h"

#include <chrono>

namespace plimbury::test {

// The wall-clock reading of `moment` (UTC read as local time).
LocalTime localTimeOf(std::chrono::sys_seconds moment) noexcept;

class FakeClock final : public Clock {
public:
    // 10:20 on 14 March 2024 until moved.
    std::chrono::sys_seconds moment = std::chrono::sys_days{std::chrono::year{2024} / 3 / 14} +
                                      std::chrono::hours{10} + std::chrono::minutes{20};
    LocalTime now() const override { return localTimeOf(moment); }
};

} // namespace plimbury::test
