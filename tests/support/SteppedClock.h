#pragma once
// A clock the test moves by hand: any moment, any jump.

#include "platform/Clock.h"

#include <chrono>

namespace plimbury::test {

class SteppedClock final : public Clock {
public:
    std::chrono::sys_seconds moment =
        std::chrono::sys_days{std::chrono::year{2024} / std::chrono::March / 14} + std::chrono::hours{10} +
        std::chrono::minutes{20};

    LocalTime now() const override
    {
        using namespace std::chrono;
        const sys_days date = floor<days>(moment);
        const year_month_day ymd{date};
        const hh_mm_ss<seconds> time{moment - date};
        return LocalTime{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                         static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
                         static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
    }
};

} // namespace plimbury::test
