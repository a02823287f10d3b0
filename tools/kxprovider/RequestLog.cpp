#include "kxprovider/RequestLog.h"

#include "util/Error.h"

namespace kx {

RequestLog::RequestLog(const std::string& filePath) {
  if (filePath.empty()) return;
  file_.open(filePath, std::ios::out | std::ios::app | std::ios::binary);
  if (!file_) throw FileError("cannot open the request log " + filePath, filePath);
}

void RequestLog::Append(const std::string& line) {
  const std::lock_guard<std::mutex> lock(mutex_);
  lines_.push_back(line);
  if (lines_.size() > kMaxLines) lines_.pop_front();
  if (file_.is_open()) {
    file_ << line << '\n';
    file_.flush();
  }
}

std::string RequestLog::Text() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  for (const std::string& line : lines_) text.append(line).push_back('\n');
  return text;
}

void RequestLog::Clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  lines_.clear();
}

}  // namespace kx
