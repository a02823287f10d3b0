#pragma once

#include <cstdint>

#include "util/DateTime.h"

namespace kx {

// Time, pauses and the host's message loop.
class SystemClock {
 public:
  virtual ~SystemClock() = default;
  // Today's local date at 00:00.
  virtual DateTime Today() = 0;
  // The local date and time now.
  virtual DateTime Now() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  // Lets pending window messages of the calling thread run.
  virtual void PumpMessages() = 0;
};

}  // namespace kx
