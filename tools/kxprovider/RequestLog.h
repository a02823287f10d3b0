#pragma once

#include <cstddef>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>

namespace kx {

// The lines of the requests the simulator received: kept in memory for the control endpoint and,
// when a file is named, appended to it and flushed line by line, so a test that reads the file
// after a request finds the request's line there.
class RequestLog {
 public:
  // The in-memory list keeps the newest lines up to this many.
  static constexpr std::size_t kMaxLines = 100000;

  // filePath empty: memory only. Raises FileError when the file cannot be opened for appending.
  explicit RequestLog(const std::string& filePath);

  void Append(const std::string& line);
  // Every line held, each ending with "\n".
  std::string Text() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  std::ofstream file_;
};

}  // namespace kx
