#include "common/Clock.h"

#include <ctime>

namespace quillet {
namespace {
Date g_fixed;
}

Date Today() {
  if (g_fixed.year != 0) return g_fixed;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

int64_t MonotonicMs() {
  timespec ts{};
#ifdef CLOCK_MONOTONIC_COARSE
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
#else
  clock_gettime(CLOCK_MONOTONIC, &ts);
#endif
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void SetTodayForTesting(const Date& date) { g_fixed = date; }

}  // namespace quillet
