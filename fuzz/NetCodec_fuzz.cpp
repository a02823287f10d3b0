// Percent-encoding and Base64: any text decodes or is refused without a crash, and every byte
// string comes back from its encoded form, in both space modes of the percent-encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "net/ImpApiINet.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (const bool plus : {false, true}) {
    const std::string encoded = kx::UrlEncode(input, plus);
    for (const char c : encoded) {
      const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
      Require(alnum || c == '%' || (plus && c == '+'));
    }
    Require(kx::UrlDecode(encoded, plus) == std::optional<std::string>(input));
    if (const std::optional<std::string> decoded = kx::UrlDecode(input, plus)) {
      Require(decoded->size() <= input.size());
    }
  }

  const std::string base64 = kx::Base64Encode(input);
  Require(base64.size() == (input.size() + 2) / 3 * 4);
  Require(kx::Base64Decode(base64) == std::optional<std::string>(input));
  // A text that decodes has the length of the encoded form of what it gives.
  if (const std::optional<std::string> decoded = kx::Base64Decode(input)) {
    Require(kx::Base64Encode(*decoded).size() == input.size());
  }
  return 0;
}
