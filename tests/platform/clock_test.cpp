// The clock seam: the system's local time by default, fixed times for tests that nest and restore.
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <thread>
#include <tuple>

#include "platform/error.h"

namespace pavo::clock {
namespace {

auto key(const DateTime& t) {
    return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

DateTime system_local_time() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

TEST(Clock, ReadsTheSystemLocalTimeWhenNothingIsFixed) {
    DateTime before = system_local_time();
    DateTime seen = now();
    DateTime after = system_local_time();
    EXPECT_TRUE(is_valid(seen));
    EXPECT_LE(key(before), key(seen));
    EXPECT_LE(key(seen), key(after));
}

TEST(Clock, FixedTimesNestAndRestoreWhatWasInForce) {
    const DateTime outer_time{2003, 3, 5, 10, 15, 0};
    const DateTime inner_time{2026, 12, 6, 17, 25, 3};
    DateTime before = system_local_time();
    {
        ScopedFixedTime outer(outer_time);
        EXPECT_EQ(now(), outer_time);
        {
            ScopedFixedTime inner(inner_time);
            EXPECT_EQ(now(), inner_time);
            // Every thread sees the same fixed time: reports may run their work elsewhere.
            DateTime from_thread;
            std::thread([&] { from_thread = now(); }).join();
            EXPECT_EQ(from_thread, inner_time);
        }
        EXPECT_EQ(now(), outer_time);
        EXPECT_EQ(now(), outer_time);  // a fixed time does not advance
    }
    DateTime restored = now();
    EXPECT_LE(key(before), key(restored));
    EXPECT_LE(key(restored), key(system_local_time()));
}

TEST(Clock, RefusesATimeThatCannotBeAndKeepsTheOneInForce) {
    const DateTime in_force{2004, 2, 29, 23, 59, 59};  // a leap day is a real day
    ScopedFixedTime fixed(in_force);
    const DateTime bad[] = {
        {2003, 2, 29, 12, 0, 0}, {1900, 2, 29, 12, 0, 0}, {2003, 13, 1, 12, 0, 0},
        {2003, 0, 1, 12, 0, 0},  {2003, 4, 31, 12, 0, 0}, {2003, 4, 0, 12, 0, 0},
        {2003, 4, 1, 24, 0, 0},  {2003, 4, 1, 12, 60, 0}, {2003, 4, 1, 12, 0, 61},
        {2003, 4, 1, -1, 0, 0},  {0, 1, 1, 0, 0, 0},      {10000, 1, 1, 0, 0, 0},
    };
    for (const auto& t : bad) {
        EXPECT_FALSE(is_valid(t)) << t.year << "-" << t.month << "-" << t.day;
        try {
            ScopedFixedTime refused(t);
            ADD_FAILURE() << "accepted " << t.year << "-" << t.month << "-" << t.day;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kInvalidInput);
        }
        EXPECT_EQ(now(), in_force);
    }
    EXPECT_TRUE(is_valid({2000, 2, 29, 0, 0, 0}));
    EXPECT_TRUE(is_valid({9999, 12, 31, 23, 59, 60}));
}

}  // namespace
}  // namespace pavo::clock
