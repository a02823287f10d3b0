#pragma once

#include <string>

namespace kx {

// Appends n bytes of value n, n = blockSize - (length mod blockSize), 1..blockSize (PKCS #5).
void PadToBlock(std::string& text, int blockSize);

}  // namespace kx
