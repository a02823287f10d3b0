#include "frame/AtomicFile.h"

#include <fstream>
#include <sstream>

#include "frame/Error.h"
#include "platform/FileSystem.h"

namespace kx {

void WriteFileAtomically(const std::string& path, std::string_view content) {
  const std::string temporary = path + ".kxtmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw FileError("Cannot create file " + temporary, temporary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (out.fail()) {
      RemoveFileIfExists(temporary);
      throw FileError("Cannot write file " + path + " (disk full or I/O error)", path);
    }
  }
  try {
    MoveReplacing(temporary, path);
  } catch (...) {
    RemoveFileIfExists(temporary);
    throw;
  }
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("Cannot open file " + path, path);
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw FileError("Cannot read file " + path, path);
  return content.str();
}

}  // namespace kx
