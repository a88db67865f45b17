#include "support/FakeClock.h"

namespace plimbury::test {

LocalTime localTimeOf(std::chrono::sys_seconds moment) noexcept
{
    using namespace std::chrono;
    const sys_days date = floor<days>(moment);
    const year_month_day ymd{date};
    const hh_mm_ss<seconds> time{moment - date};
    return LocalTime{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                     static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(time.hours().count()),
                     static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count())};
}

} // namespace plimbury::test
