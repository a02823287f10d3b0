#include "platform/win32/Win32UserInterface.h"

#include <windows.h>

#include <string>

#include "util/Cp1252.h"
#include "util/Error.h"

namespace kx::win32 {

void Win32UserInterface::ShowInformation(std::string_view caption, std::string_view text) {
  const std::string captionText(caption);
  const std::string bodyText(text);
  MessageBoxA(nullptr, bodyText.c_str(), captionText.c_str(), MB_OK | MB_ICONINFORMATION);
}

// The PIN dialog comes with the library's dialogs; until then a run without a PIN fails plainly.
bool Win32UserInterface::AskPin(std::string_view, std::string_view, std::string&) {
  throw Error(
      std::string("Die PIN-Abfrage ist in dieser Version nicht verfügbar. Bitte die PIN mit der Option "
                  "Password übergeben."_cp1252));
}

// The access-data dialog comes with the library's dialogs; until then it is left as if the user
// had cancelled, so the host's buffers stay untouched.
int32_t Win32UserInterface::ShowAccessDataDialog(AccessData&, std::string_view) { return kModalCancel; }

}  // namespace kx::win32

namespace kx::win32 {

void Win32UserInterface::SetCursor(Cursor cursor) {
  ::SetCursor(LoadCursorA(nullptr, cursor == Cursor::Wait ? IDC_WAIT : IDC_APPSTARTING));
}

}  // namespace kx::win32
