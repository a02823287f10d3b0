#pragma once

#include "platform/SystemClock.h"

namespace kx::win32 {

class Win32Clock final : public SystemClock {
 public:
  DateTime Today() override;
  DateTime Now() override;
  void Sleep(uint32_t milliseconds) override;
  void PumpMessages() override;
};

}  // namespace kx::win32
