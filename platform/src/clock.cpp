// The time of day for the whole program: the system's local time unless a test fixed it.
#include "platform/clock.h"

#include <ctime>
#include <mutex>
#include <optional>
#include <string>

#include "platform/error.h"

namespace pavo::clock {

namespace {

std::mutex g_mutex;
std::optional<DateTime> g_fixed;

bool leap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int month_days(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool is_valid(const DateTime& t) {
    if (t.year < 1 || t.year > 9999 || t.month < 1 || t.month > 12) return false;
    if (t.day < 1 || t.day > month_days(t.year, t.month)) return false;
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 &&
           t.second <= 60;
}

DateTime now() {
    {
        std::lock_guard lock(g_mutex);
        if (g_fixed) return *g_fixed;
    }
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    if (t == static_cast<std::time_t>(-1) || !localtime_r(&t, &tm))
        throw Error(ErrorKind::kInternal, "The system clock cannot be read as a local time");
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

ScopedFixedTime::ScopedFixedTime(DateTime t) : had_previous_(false), previous_{} {
    if (!is_valid(t))
        throw Error(ErrorKind::kInvalidInput,
                    "Not a valid date and time: " + std::to_string(t.year) + "-" +
                        std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
                        std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" +
                        std::to_string(t.second));
    std::lock_guard lock(g_mutex);
    if (g_fixed) {
        had_previous_ = true;
        previous_ = *g_fixed;
    }
    g_fixed = t;
}

ScopedFixedTime::~ScopedFixedTime() {
    std::lock_guard lock(g_mutex);
    if (had_previous_)
        g_fixed = previous_;
    else
        g_fixed.reset();
}

}  // namespace pavo::clock
