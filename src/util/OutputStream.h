#pragma once

#include <cstddef>

namespace kx {

// A byte sink whose every write is checked: a failure raises FileError.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  virtual void Write(const char* bytes, std::size_t count) = 0;
};

}  // namespace kx
