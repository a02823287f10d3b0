// kximport's reader of a previous document over a file made of the input: it returns or raises
// std::runtime_error, never crashes; what it returns counts every byte of the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "kximport/ImportDocument.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// One file per process in memory, removed at exit.
struct ScratchFile {
  ScratchFile() : path("/dev/shm/kx-fuzz-document-" + std::to_string(getpid()) + ".xml") {}
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const ScratchFile file;
  std::FILE* out = std::fopen(file.path.c_str(), "wb");
  Require(out != nullptr);
  Require(std::fwrite(data, 1, size, out) == size);
  std::fclose(out);
  try {
    const kximport::DocumentFacts facts = kximport::ReadDocument(file.path);
    Require(facts.bytes == static_cast<int64_t>(size));
  } catch (const std::runtime_error&) {
  }
  return 0;
}
