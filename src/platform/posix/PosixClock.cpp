#include "platform/posix/PosixClock.h"

#include <sys/time.h>

#include <cerrno>
#include <ctime>

namespace kx::posix {
namespace {

struct LocalNow {
  std::tm tm{};
  int millisecond = 0;
};

LocalNow ReadLocalNow() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  LocalNow now;
  const time_t seconds = tv.tv_sec;
  localtime_r(&seconds, &now.tm);
  now.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return now;
}

}  // namespace

DateTime PosixClock::Today() {
  const LocalNow now = ReadLocalNow();
  return EncodeDate(now.tm.tm_year + 1900, now.tm.tm_mon + 1, now.tm.tm_mday);
}

DateTime PosixClock::Now() {
  const LocalNow now = ReadLocalNow();
  return EncodeDateTime({now.tm.tm_year + 1900, now.tm.tm_mon + 1, now.tm.tm_mday},
                        {now.tm.tm_hour, now.tm.tm_min, now.tm.tm_sec, now.millisecond});
}

void PosixClock::Sleep(uint32_t milliseconds) {
  timespec rest{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

}  // namespace kx::posix
