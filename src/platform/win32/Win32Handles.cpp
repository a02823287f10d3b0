#include "platform/win32/Win32Handles.h"

namespace kx::win32 {

std::string SystemMessage(DWORD code) {
  char text[1024] = {};
  // Some texts have inserts ("%1 is not a valid Win32 application."); without arguments to fill
  // them, FormatMessageA fails (or reads arguments that are not there) unless told to leave them.
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, text, sizeof text - 1, nullptr);
  // The system's text ends with a line break, which has no place inside a longer message.
  std::string_view message(text, length);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n' || message.back() == ' ')) {
    message.remove_suffix(1);
  }
  return std::string(message);
}

std::string SystemErrorText(DWORD code) {
  const std::string message = SystemMessage(code);
  return std::to_string(code) + (message.empty() ? "" : "-" + message);
}

}  // namespace kx::win32
