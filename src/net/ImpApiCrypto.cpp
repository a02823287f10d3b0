#include "net/ImpApiCrypto.h"

namespace kx {

void PadToBlock(std::string& text, int blockSize) {
  const auto block = static_cast<std::size_t>(blockSize);
  const std::size_t n = block - text.size() % block;
  text.append(n, static_cast<char>(n));
}

}  // namespace kx
