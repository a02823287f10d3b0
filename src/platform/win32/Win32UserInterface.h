#pragma once

#include "platform/UserInterface.h"

namespace kx::win32 {

class Win32UserInterface final : public UserInterface {
 public:
  void ShowInformation(std::string_view caption, std::string_view text) override;
  bool AskPin(std::string_view providerText, std::string_view loginText, std::string& pinText) override;
  int32_t ShowAccessDataDialog(AccessData& data, std::string_view importVersion) override;
};

}  // namespace kx::win32
