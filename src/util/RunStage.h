#pragma once

#include <cstdint>

namespace kx {

// Where a run stands: before a provider answers, while a provider file is transferred, while the
// run waits for a staging database another import holds, loading, writing the document.
enum class RunStage : uint8_t { BeforeAnswer = 1, Transfer, Waiting, Load, Document, After };

}  // namespace kx
