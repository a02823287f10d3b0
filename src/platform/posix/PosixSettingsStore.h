#pragma once

#include <memory>
#include <string>

#include "platform/SettingsStore.h"

namespace kx::posix {

// Settings from a REGEDIT4 file: VELQORA_REGISTRY names it, else /etc/velqora/tavo/registry.reg.
// The file is read again at every opening of a key, as the registry would be. A missing file is a
// missing key; an unreadable or malformed one raises.
class PosixSettingsStore final : public SettingsStore {
 public:
  std::unique_ptr<SettingsKey> OpenLocalMachineKey(std::string_view path) override;
  std::string Location() const override { return FilePath(); }

  static std::string FilePath();
};

}  // namespace kx::posix
