#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "util/WholeFile.h"

namespace kx {

// The lines of a text file, read through a fixed buffer: a line ends at CR LF, LF or CR; every
// other byte, a zero byte too, belongs to its line. The buffer grows only for a line longer than
// itself, so memory follows the longest line, never the size of the file. Raises FileError.
class LineReader {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

  explicit LineReader(const std::string& path, std::size_t bufferSize = kBufferSize);

  // The next line without its break, valid until the next call; false at the end of the text.
  bool Next(std::string_view& line);

 private:
  // Moves the unread rest to the front, grows the buffer when the rest fills it, and reads more;
  // sets atEnd_ when nothing more comes.
  void Fill();

  std::string path_;
  ReadableFile file_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the first unread byte
  std::size_t end_ = 0;    // one past the last byte read
  bool atEnd_ = false;     // the file's end has been reached
};

// The number of lines LineReader gives for the file.
int64_t CountLines(const std::string& path);

}  // namespace kx
