#pragma once

#include <cstddef>
#include <string>

namespace kx {

// A byte sink whose every write is checked: a failure raises FileError.
class OutputStream {
 public:
  virtual ~OutputStream() = default;
  virtual void Write(const char* bytes, std::size_t count) = 0;
};

// Appends to a string: for answers that are small by nature, and for tests.
class StringOutputStream final : public OutputStream {
 public:
  explicit StringOutputStream(std::string& target) : target_(target) {}
  void Write(const char* bytes, std::size_t count) override { target_.append(bytes, count); }

 private:
  std::string& target_;
};

}  // namespace kx
