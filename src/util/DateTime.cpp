#include "util/DateTime.h"

#include <cmath>

namespace kx {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil calendar algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CalendarDate CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp + (mp < 10 ? 3 : -9);
  return {static_cast<int>(yoe + era * 400 + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr int64_t kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

DateTime EncodeDate(int year, int month, int day) {
  return static_cast<DateTime>(DaysFromCivil(year, month, day) + kEpochOffset);
}

DateTime EncodeDateTime(const CalendarDate& date, const TimeOfDay& time) {
  const double fraction =
      (time.Hour * 3600000.0 + time.Minute * 60000.0 + time.Second * 1000.0 + time.Millisecond) / 86400000.0;
  return EncodeDate(date.Year, date.Month, date.Day) + fraction;
}

CalendarDate DecodeDate(DateTime value) {
  return CivilFromDays(static_cast<int64_t>(std::trunc(value)) - kEpochOffset);
}

TimeOfDay DecodeTime(DateTime value) {
  const double fraction = std::fabs(value - std::trunc(value));
  // Round to whole milliseconds first, so that 14:30 stored as 0.6041666... is not 14:29:59.999.
  auto ms = static_cast<int64_t>(std::llround(fraction * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  TimeOfDay t;
  t.Hour = static_cast<int>(ms / 3600000);
  t.Minute = static_cast<int>(ms / 60000 % 60);
  t.Second = static_cast<int>(ms / 1000 % 60);
  t.Millisecond = static_cast<int>(ms % 1000);
  return t;
}

}  // namespace kx
