#pragma once
#include <cstdint>
// Today's date, from a clock that tests can set.

namespace quillet {

struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
};

// The local date today, or the date set for testing.
Date Today();
// Fixes the date that Today() returns; a year of 0 goes back to the real clock.
void SetTodayForTesting(const Date& date);

// Milliseconds of a cheap monotonic clock (a few milliseconds of resolution), for time bounds
// checked on hot paths.
int64_t MonotonicMs();

}  // namespace quillet
