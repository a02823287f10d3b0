#pragma once

#include <cstdint>
#include <string_view>

#include "ImpApiKorvalix.h"  // the message kinds (KX_PROGRESS_...)

namespace kx {

// Where every stage sends its (kind, value, text) messages for the host.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Send(int32_t kind, int32_t value, std::string_view text) = 0;
};

}  // namespace kx
