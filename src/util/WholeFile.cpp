#include "util/WholeFile.h"

#include <fstream>

#include "util/Error.h"

namespace kx {

// One read of the file's size: a stream copy would hold the content twice.
std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw FileError("Cannot open file " + path, path);
  const std::streamoff size = in.tellg();
  in.seekg(0);
  std::string text;
  if (size > 0) {
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
  }
  // A file that grew since it was measured is read to its end all the same.
  char rest[65536];
  while (in.good() && (in.read(rest, sizeof rest), in.gcount() > 0)) {
    text.append(rest, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) throw FileError("Cannot read file " + path, path);
  return text;
}

}  // namespace kx
