#include "util/LineReader.h"

#include <cstring>

#include "util/Error.h"

namespace kx {

LineReader::LineReader(const std::string& path, std::size_t bufferSize)
    : path_(path), file_(OpenForReading(path)), buffer_(bufferSize > 0 ? bufferSize : 1) {}

void LineReader::Fill() {
  const std::size_t rest = end_ - begin_;
  if (begin_ > 0) std::memmove(buffer_.data(), buffer_.data() + begin_, rest);
  begin_ = 0;
  end_ = rest;
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t read = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_.get());
  if (read == 0) {
    if (std::ferror(file_.get()) != 0) throw FileError("Cannot read file " + path_, path_);
    atEnd_ = true;
    return;
  }
  end_ += read;
}

namespace {

// The offset of the first c in [from, to) of text, or to when there is none.
std::size_t Find(const char* text, std::size_t from, std::size_t to, char c) {
  const void* found = std::memchr(text + from, c, to - from);
  return found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : to;
}

}  // namespace

bool LineReader::Next(std::string_view& line) {
  std::size_t searched = 0;  // bytes after begin_ known to hold no line break
  for (;;) {
    const char* const start = buffer_.data() + begin_;
    const std::size_t available = end_ - begin_;
    const std::size_t lfAt = Find(start, searched, available, '\n');
    const std::size_t crAt = Find(start, searched, lfAt, '\r');
    if (crAt < lfAt) {
      // A CR at the end of what has been read may be the first half of CR LF.
      if (crAt + 1 < available || atEnd_) {
        line = std::string_view(start, crAt);
        begin_ += crAt + (crAt + 1 < available && start[crAt + 1] == '\n' ? 2 : 1);
        return true;
      }
    } else if (lfAt < available) {
      line = std::string_view(start, lfAt);
      begin_ += lfAt + 1;
      return true;
    } else if (atEnd_) {
      if (available == 0) return false;
      line = std::string_view(start, available);
      begin_ = end_;
      return true;
    }
    searched = crAt < lfAt ? crAt : available;
    Fill();
  }
}

int64_t CountLines(const std::string& path) {
  LineReader reader(path);
  int64_t count = 0;
  std::string_view line;
  while (reader.Next(line)) ++count;
  return count;
}

}  // namespace kx
