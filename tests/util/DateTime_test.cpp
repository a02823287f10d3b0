// The host's date-time value: days since 1899-12-30, the fraction being the time of day.
#include "util/DateTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kx {
namespace {

struct SerialCase {
  int year, month, day;
  double serial;
};

const std::vector<SerialCase>& KnownSerials() {
  static const std::vector<SerialCase> cases = {
      {1899, 12, 30, 0},   {1899, 12, 31, 1},   {1900, 1, 1, 2},         {1900, 3, 1, 61},
      {1899, 12, 29, -1},  {1970, 1, 1, 25569}, {2000, 1, 1, 36526},     {2000, 2, 29, 36585},
      {2024, 3, 5, 45356}, {1, 1, 1, -693593},  {9999, 12, 31, 2958465},
  };
  return cases;
}

TEST(EncodeDate, KnownSerialNumbers) {
  for (const SerialCase& c : KnownSerials()) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(EncodeDate(c.year, c.month, c.day), c.serial);
  }
}

TEST(DecodeDate, KnownSerialNumbers) {
  for (const SerialCase& c : KnownSerials()) {
    SCOPED_TRACE(c.serial);
    const CalendarDate date = DecodeDate(c.serial);
    EXPECT_EQ(date.Year, c.year);
    EXPECT_EQ(date.Month, c.month);
    EXPECT_EQ(date.Day, c.day);
  }
}

TEST(DecodeDate, IgnoresTheTimeOfDay) {
  const CalendarDate date = DecodeDate(45356.999);
  EXPECT_EQ(date.Year, 2024);
  EXPECT_EQ(date.Month, 3);
  EXPECT_EQ(date.Day, 5);
}

TEST(DecodeDate, NegativeValueTakesItsWholeDaysTowardsZero) {
  // -1.25 is 1899-12-29 06:00: whole days and the time of day count in opposite directions.
  const CalendarDate date = DecodeDate(-1.25);
  EXPECT_EQ(date.Year, 1899);
  EXPECT_EQ(date.Month, 12);
  EXPECT_EQ(date.Day, 29);
  EXPECT_EQ(DecodeTime(-1.25).Hour, 6);
}

TEST(DecodeDate, RoundTripsEveryDayOfFourCenturies) {
  int64_t expectedSerial = static_cast<int64_t>(EncodeDate(1800, 1, 1));
  for (int year = 1800; year < 2200; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; IsValidDate(year, month, day); ++day) {
        const DateTime serial = EncodeDate(year, month, day);
        ASSERT_EQ(serial, static_cast<double>(expectedSerial)) << year << "-" << month << "-" << day;
        const CalendarDate back = DecodeDate(serial);
        ASSERT_TRUE(back.Year == year && back.Month == month && back.Day == day)
            << year << "-" << month << "-" << day;
        ++expectedSerial;
      }
    }
  }
}

struct TimeCase {
  int hour, minute, second, millisecond;
};

TEST(DecodeTime, RoundTripsTimesOfDay) {
  const std::vector<TimeCase> cases = {
      {0, 0, 0, 0}, {12, 0, 0, 0}, {14, 30, 0, 0}, {6, 0, 0, 1}, {23, 59, 59, 999}, {9, 8, 7, 654},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.hour << ":" << c.minute << ":" << c.second << "." << c.millisecond);
    const DateTime value = EncodeDateTime({2024, 3, 5}, {c.hour, c.minute, c.second, c.millisecond});
    const TimeOfDay t = DecodeTime(value);
    EXPECT_EQ(t.Hour, c.hour);
    EXPECT_EQ(t.Minute, c.minute);
    EXPECT_EQ(t.Second, c.second);
    EXPECT_EQ(t.Millisecond, c.millisecond);
    EXPECT_EQ(DecodeDate(value).Day, 5);
  }
}

TEST(DecodeTime, HalfADayIsNoon) {
  const TimeOfDay t = DecodeTime(45356.5);
  EXPECT_EQ(t.Hour, 12);
  EXPECT_EQ(t.Minute, 0);
  EXPECT_EQ(t.Second, 0);
  EXPECT_EQ(t.Millisecond, 0);
}

TEST(DecodeTime, FractionJustBelowMidnightStaysOnTheSameDay) {
  const TimeOfDay t = DecodeTime(0.99999999999);
  EXPECT_EQ(t.Hour, 23);
  EXPECT_EQ(t.Minute, 59);
  EXPECT_EQ(t.Second, 59);
}

TEST(IsValidDate, LeapYearsFollowTheGregorianRule) {
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_TRUE(IsValidDate(2000, 2, 29));
  EXPECT_TRUE(IsValidDate(1600, 2, 29));
  EXPECT_FALSE(IsValidDate(2023, 2, 29));
  EXPECT_FALSE(IsValidDate(1900, 2, 29));
  EXPECT_FALSE(IsValidDate(2100, 2, 29));
  EXPECT_TRUE(IsValidDate(2023, 2, 28));
}

TEST(IsValidDate, MonthLengthsAndRanges) {
  EXPECT_TRUE(IsValidDate(2024, 1, 31));
  EXPECT_FALSE(IsValidDate(2024, 4, 31));
  EXPECT_TRUE(IsValidDate(2024, 12, 31));
  EXPECT_FALSE(IsValidDate(2024, 12, 32));
  EXPECT_FALSE(IsValidDate(2024, 0, 1));
  EXPECT_FALSE(IsValidDate(2024, 13, 1));
  EXPECT_FALSE(IsValidDate(2024, 1, 0));
  EXPECT_FALSE(IsValidDate(2024, 1, -1));
  EXPECT_TRUE(IsValidDate(1, 1, 1));
  EXPECT_TRUE(IsValidDate(9999, 12, 31));
  EXPECT_FALSE(IsValidDate(0, 1, 1));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
}

}  // namespace
}  // namespace kx
