#pragma once

#include <cstdint>
#include <string_view>

#include "ImpApiKorvalix.h"  // the message kinds (KX_PROGRESS_...)
#include "util/RunStage.h"

namespace kx {

// Where every stage sends its (kind, value, text) messages for the host.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Send(int32_t kind, int32_t value, std::string_view text) = 0;
  // The run has reached a stage. No message to the host: the frame tells the platform's stage
  // report (platform/RunStageReport.h), for a tool that runs the library beside its host.
  virtual void Enter(RunStage /*stage*/) {}
};

}  // namespace kx
