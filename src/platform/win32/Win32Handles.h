#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kx::win32 {

// The system's text for an error code without its final line break; empty when it has none.
std::string SystemMessage(DWORD code);
// The system's text for an error code: "code-text", or the bare code when it has none.
std::string SystemErrorText(DWORD code);

}  // namespace kx::win32
