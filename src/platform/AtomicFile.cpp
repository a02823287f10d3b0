#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/FileSystem.h"
#include "util/Error.h"
#include "util/WholeFile.h"

namespace kx {
namespace {

std::string Reason() { return errno != 0 ? std::string(": ") + std::strerror(errno) : std::string(); }

}  // namespace

AtomicFileStream::AtomicFileStream(std::string path)
    : path_(std::move(path)), temporary_(TemporaryPathOf(path_)) {
  errno = 0;
  file_ = OpenPrivateFile(temporary_);  // renamed into place with its rights: owner only
  // Messages name the file the user knows, not its temporary twin.
  if (file_ == nullptr) throw FileError("Cannot create file " + path_ + Reason(), path_);
}

AtomicFileStream::~AtomicFileStream() {
  if (file_ == nullptr) return;
  std::fclose(file_);
  RemoveFileIfExists(temporary_);
}

void AtomicFileStream::Write(const char* bytes, std::size_t count) {
  if (file_ == nullptr) throw FileError("File " + path_ + " is already closed", path_);
  errno = 0;
  if (std::fwrite(bytes, 1, count, file_) != count) {
    throw FileError("Cannot write file " + path_ + Reason(), path_);
  }
}

void AtomicFileStream::Commit() {
  if (file_ == nullptr) throw FileError("File " + path_ + " is already closed", path_);
  try {
    errno = 0;
    if (std::fflush(file_) != 0) throw FileError("Cannot write file " + path_ + Reason(), path_);
    SyncToDisk(file_, path_);  // the data before the name: never an empty file after a power loss
    errno = 0;
    if (std::fclose(std::exchange(file_, nullptr)) != 0) {
      throw FileError("Cannot write file " + path_ + Reason(), path_);
    }
    MoveReplacing(temporary_, path_);
  } catch (...) {
    if (file_ != nullptr) std::fclose(std::exchange(file_, nullptr));
    RemoveFileIfExists(temporary_);
    throw;
  }
}

void WriteFileAtomically(const std::string& path, std::string_view content) {
  AtomicFileStream file(path);
  file.Write(content.data(), content.size());
  file.Commit();
}

void CopyFileAtomically(const std::string& source, const std::string& target) {
  const ReadableFile in = OpenForReading(source);
  AtomicFileStream out(target);
  std::vector<char> buffer(std::size_t{256} * 1024);
  for (;;) {
    const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), in.get());
    if (read == 0) break;
    out.Write(buffer.data(), read);
  }
  if (std::ferror(in.get()) != 0) throw FileError("Cannot read file " + source, source);
  out.Commit();
}

}  // namespace kx
