#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "util/OutputStream.h"

namespace kx {

// The temporary file beside path that an AtomicFileStream writes until Commit.
inline std::string TemporaryPathOf(std::string_view path) { return std::string(path) + ".kxtmp"; }

// A file that appears under its name only when it is complete: the bytes go to a temporary file
// beside it, and Commit() writes that file through to the disk, closes it and renames it over the
// target, so that even a power loss leaves the earlier file or the complete new one. Without
// Commit (an error, or the writer given up) the temporary file is removed and an earlier file
// stays; one that a killed run left behind is overwritten by the next.
class AtomicFileStream final : public OutputStream {
 public:
  explicit AtomicFileStream(std::string path);
  ~AtomicFileStream() override;
  AtomicFileStream(const AtomicFileStream&) = delete;
  AtomicFileStream& operator=(const AtomicFileStream&) = delete;

  void Write(const char* bytes, std::size_t count) override;
  void Commit();

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
};

// Writes content to path through an AtomicFileStream: a failure raises FileError and leaves an
// earlier file at path as it was, and no temporary file behind.
void WriteFileAtomically(const std::string& path, std::string_view content);

// Copies source to target through an AtomicFileStream, a buffer at a time. A source that cannot
// be opened raises FileError before target is touched.
void CopyFileAtomically(const std::string& source, const std::string& target);

}  // namespace kx
