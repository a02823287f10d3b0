#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "provider/ImpApi_Korvalix.h"

namespace kx {

// The host's buffer for GetExportErrorMsg, terminating zero included.
inline constexpr std::size_t kErrorTextBufferSize = 1024;

// The German message of a result code, built with the detail values of the last run; nothing
// when the code has no text.
std::optional<std::string> ExportErrorText(int32_t code, const ProviderValues& values);

// Copies text into a buffer of kErrorTextBufferSize bytes, cut at kErrorTextBufferSize - 1.
void CopyErrorText(const std::string& text, char* buffer);

}  // namespace kx
