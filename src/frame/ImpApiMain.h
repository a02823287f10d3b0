#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ImpApiKorvalix.h"
#include "util/ProgressSink.h"

// The provider-neutral host frame: module-level values shared by every export, and the progress
// channel towards the host.
namespace kx {

using RunEntryFn = int32_t (*)(ProgressSink& progress, const char* outputDir, const char* advisorRef,
                               int32_t reserved, const double* lastImport, const char* optionText);

struct FrameValues {
  std::string ProviderName = "test_dummy";
  std::string ImportVersion = "1.0";
  RunEntryFn RunEntry = nullptr;
  ::ProgressCallback ProgressCallback = nullptr;
};

// The one set of frame values of the loaded library; the provider's name, import version and run
// entry are in it from the load on.
FrameValues& Frame();

// Sends to the callback the host registered, and nothing when there is none. The callback is
// looked up at every message, so a host that unregisters is silenced at once.
class HostProgress final : public ProgressSink {
 public:
  void Send(int32_t kind, int32_t value, std::string_view text) override;
  void Enter(RunStage stage) override;
};

// Writes text as a length-prefixed string (at most 255 bytes, no terminating zero).
void WriteShortString(std::string_view text, unsigned char* target);

}  // namespace kx
