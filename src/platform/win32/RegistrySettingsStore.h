#pragma once

#include "platform/SettingsStore.h"

namespace kx::win32 {

// Settings from the registry under HKEY_LOCAL_MACHINE, read-only (KEY_READ).
class RegistrySettingsStore final : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenLocalMachineKey(std::string_view path) override;
};

}  // namespace kx::win32
