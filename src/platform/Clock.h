#pragma once
// Local wall-clock time. Only this library reads the real clock; everything
// else takes a LocalTime (or a Clock) as a parameter so tests can run any moment.

namespace plimbury {

struct LocalTime {
    int year = 2000;  // full year, e.g. 2024
    int month = 1;    // [1, 12]
    int day = 1;      // [1, 31]
    int hour = 0;     // [0, 23]
    int minute = 0;   // [0, 59]
    int second = 0;   // [0, 60]
    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// Reads the system's local time (24-hour).
class SystemClock final : public Clock {
public:
    LocalTime now() const override;
};

} // namespace plimbury
