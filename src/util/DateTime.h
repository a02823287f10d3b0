#pragma once

#include <cstdint>

namespace kx {

// A date and time as days since 1899-12-30, the fraction being the time of day (the host's
// date-time value).
using DateTime = double;

struct CalendarDate {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
};

struct TimeOfDay {
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

DateTime EncodeDate(int year, int month, int day);
DateTime EncodeDateTime(const CalendarDate& date, const TimeOfDay& time);
CalendarDate DecodeDate(DateTime value);
TimeOfDay DecodeTime(DateTime value);
bool IsValidDate(int year, int month, int day);

}  // namespace kx
