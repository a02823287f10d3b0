#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// One opened settings key. Destruction closes it.
class SettingsKey {
 public:
  virtual ~SettingsKey() = default;
  // The value as a string (the text ends at its first zero byte), or nothing when the value does
  // not exist. A value stored with a non-string type raises SettingsTypeError.
  virtual std::optional<std::string> ReadString(std::string_view name) = 0;
  // The names of the key's values, for a check that points out names nobody reads; empty where
  // the store cannot list them.
  virtual std::vector<std::string> ValueNames() { return {}; }
};

// Read-only access to the machine-wide settings (HKEY_LOCAL_MACHINE on Windows).
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Opens a key below the local-machine root for reading; null when it cannot be opened.
  virtual std::unique_ptr<SettingsKey> OpenLocalMachineKey(std::string_view path) = 0;
  // Where the settings are kept, for messages (the settings file); empty where there is no file.
  virtual std::string Location() const { return {}; }
};

}  // namespace kx
