#pragma once

#include "platform/SystemClock.h"

namespace kx::posix {

class PosixClock final : public SystemClock {
 public:
  DateTime Today() override;
  DateTime Now() override;
  void Sleep(uint32_t milliseconds) override;
  // No window messages without a toolkit loop of the library's own.
  void PumpMessages() override {}
};

}  // namespace kx::posix
