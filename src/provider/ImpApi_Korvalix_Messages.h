#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "provider/ImpApi_Korvalix.h"

namespace kx {

// The German message of a result code, built with the detail values of the last run; nothing
// when the code has no text.
std::optional<std::string> ExportErrorText(int32_t code, const ProviderValues& values);

// Copies text into the host's buffer of KX_ERROR_TEXT_BUFFER_SIZE bytes, cut one byte short of it.
void CopyErrorText(const std::string& text, char* buffer);

}  // namespace kx
