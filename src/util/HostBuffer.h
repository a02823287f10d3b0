#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace kx {

// Copies at most maxBytes bytes of text into a host buffer, followed by a zero.
inline void CopyZeroTerminated(std::string_view text, char* buffer, std::size_t maxBytes) {
  const std::size_t length = std::min(text.size(), maxBytes);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace kx
