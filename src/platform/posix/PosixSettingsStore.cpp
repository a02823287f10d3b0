#include "platform/posix/PosixSettingsStore.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/posix/RegistryFile.h"
#include "util/Error.h"

namespace kx::posix {
namespace {

class FileKey final : public SettingsKey {
 public:
  explicit FileKey(RegistryFile::Values values) : values_(std::move(values)) {}

  std::optional<std::string> ReadString(std::string_view name) override {
    const auto it = values_.find(std::string(name));
    if (it == values_.end()) return std::nullopt;
    const RegistryFile::Value& value = it->second;
    if (value.type != RegistryFile::Type::String && value.type != RegistryFile::Type::ExpandString) {
      throw SettingsTypeError("Settings value " + std::string(name) + " is not a string");
    }
    return value.data;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    for (const auto& entry : values_) names.push_back(entry.first);
    return names;
  }

 private:
  RegistryFile::Values values_;
};

}  // namespace

std::string PosixSettingsStore::FilePath() {
  const char* named = std::getenv("VELQORA_REGISTRY");
  return (named != nullptr && *named != '\0') ? std::string(named)
                                              : std::string("/etc/velqora/tavo/registry.reg");
}

std::unique_ptr<SettingsKey> PosixSettingsStore::OpenLocalMachineKey(std::string_view path) {
  const std::string file = FilePath();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return nullptr;
    throw FileError("Cannot open settings file " + file + ": " + std::strerror(errno), file);
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw FileError("Cannot read settings file " + file, file);
  const RegistryFile registry = RegistryFile::Parse(text.str());
  const RegistryFile::Values* values = registry.Key("HKEY_LOCAL_MACHINE\\" + std::string(path));
  if (values == nullptr) return nullptr;
  return std::make_unique<FileKey>(*values);
}

}  // namespace kx::posix
