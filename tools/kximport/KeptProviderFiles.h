#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kximport {

// The two provider files of a data directory as they were before a run. The library replaces
// each file by renaming its complete download over it, so a hard link beside each one
// (".kxkept") keeps the earlier file as it was without copying it; a run that Ctrl+C ends puts
// back what it had replaced, and a run that ends otherwise lets the links go.
class KeptProviderFiles {
 public:
  // Links each provider file that exists; an empty dataDir keeps nothing. A link that cannot be
  // made (a file system without hard links) falls back to a copy.
  explicit KeptProviderFiles(std::string dataDir);
  // Removes the links that are left: the run ended without being interrupted.
  ~KeptProviderFiles();
  KeptProviderFiles(const KeptProviderFiles&) = delete;
  KeptProviderFiles& operator=(const KeptProviderFiles&) = delete;

  // Puts every provider file back as it was before the run: a replaced one by its kept link, one
  // that the run created where none was removed; the links go. Returns the names of the files
  // put back.
  std::vector<std::string> PutBack();

 private:
  struct File {
    std::string name;
    std::string path;
    bool kept = false;                         // the file existed before the run, and its link is beside it
    unsigned long long device = 0, inode = 0;  // the file's before the run
  };
  static std::string KeptPathOf(const std::string& path) { return path + ".kxkept"; }
  static bool Replaced(const File& file);

  std::vector<File> files_;
};

}  // namespace kximport
