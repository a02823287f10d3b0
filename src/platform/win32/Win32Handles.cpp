#include "platform/win32/Win32Handles.h"

namespace kx::win32 {

std::string SystemErrorText(DWORD code) {
  char text[1024] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, text, sizeof text - 1, nullptr);
  std::string out = std::to_string(code);
  if (length > 0) out += "-" + std::string(text, length);
  return out;
}

}  // namespace kx::win32
