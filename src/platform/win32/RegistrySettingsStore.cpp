#include "platform/win32/RegistrySettingsStore.h"

#include <windows.h>

#include <vector>

#include "platform/win32/Win32Handles.h"
#include "util/Error.h"

namespace kx::win32 {
namespace {

class RegistryKey final : public SettingsKey {
 public:
  explicit RegistryKey(HKEY key) : key_(key) {}
  ~RegistryKey() override { RegCloseKey(key_); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  std::optional<std::string> ReadString(std::string_view name) override {
    const std::string valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) {
      throw PlatformError("Registry value " + valueName + ": " + SystemErrorText(status), status);
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
      throw SettingsTypeError("Registry value " + valueName + " is not a string");
    }
    if (size == 0) return std::string();
    std::vector<char> data(size + 1, '\0');
    status = RegQueryValueExA(key_, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                              &size);
    if (status != ERROR_SUCCESS) {
      throw PlatformError("Registry value " + valueName + ": " + SystemErrorText(status), status);
    }
    return std::string(data.data());  // the text ends at its first zero byte
  }

 private:
  HKEY key_;
};

}  // namespace

std::unique_ptr<SettingsKey> RegistrySettingsStore::OpenLocalMachineKey(std::string_view path) {
  const std::string keyPath(path);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return std::make_unique<RegistryKey>(key);
}

}  // namespace kx::win32
