#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kximport {

// How far the provider file now being transferred into dataDir has come: the size of the
// temporary file the library writes beside its target (looked up, never read), or nothing when
// no transfer is writing.
std::optional<int64_t> BytesInTransfer(const std::string& dataDir);

// "12,3 MiB" (German) or "12.3 MiB", kB below one MiB.
std::string ByteText(int64_t bytes);

}  // namespace kximport
