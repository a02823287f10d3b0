#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kx {

// Every failure inside the library is one of these; the exports turn them into result codes.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A failure of the operating system or a platform library, with its native error code.
class PlatformError : public Error {
 public:
  PlatformError(const std::string& message, int64_t code) : Error(message), code_(code) {}
  int64_t Code() const { return code_; }

 private:
  int64_t code_;
};

// A file that could not be opened, read, written or renamed.
class FileError : public Error {
 public:
  FileError(const std::string& message, std::string path) : Error(message), path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A settings value stored with a type other than a string.
class SettingsTypeError : public Error {
 public:
  using Error::Error;
};

}  // namespace kx
