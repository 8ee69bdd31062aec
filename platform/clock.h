// The one place the program asks the time of day: today's date and the local time now.
//
// Every module that needs today or now (reports, statistics, imports, the date pickers, the time
// stamps in file names) asks here, so a test can fix the time for all of them at once. Durations
// and timeouts are not the time of day and use std::chrono::steady_clock directly.
#pragma once

namespace pavo::clock {

// A local calendar date and wall-clock time, to the second.
struct DateTime {
    int year = 0;    // four digits, e.g. 2026
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59 (60 for a leap second the system reports)

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// True when t names a real calendar day (years 1..9999) and a time of day.
bool is_valid(const DateTime& t);

// The system's local date and time, or the time the innermost live ScopedFixedTime set.
// Safe to call from any thread.
DateTime now();

// For tests: while this object lives, now() returns t (it does not advance). Objects nest; the
// destructor restores whatever was in force before this one (the system clock or an outer fixed
// time). Destroy them in the reverse order of construction, as scopes do.
// Throws pavo::Error kInvalidInput when t is not a valid date and time.
class ScopedFixedTime {
  public:
    explicit ScopedFixedTime(DateTime t);
    ~ScopedFixedTime();
    ScopedFixedTime(const ScopedFixedTime&) = delete;
    ScopedFixedTime& operator=(const ScopedFixedTime&) = delete;

  private:
    bool had_previous_;
    DateTime previous_;
};

}  // namespace pavo::clock
