#pragma once

namespace kx {

// What the document step does with an earlier document: a host's run removes it before it writes,
// so that a failed run leaves none to import twice; a tool may keep it until the new one
// replaces it, so that an interrupted run changes nothing.
enum class EarlierDocument { Removed, KeptUntilReplaced };

}  // namespace kx
