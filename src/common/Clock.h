#pragma once
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

}  // namespace quillet
