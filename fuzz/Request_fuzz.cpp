// The request encoding with the real DES (Nettle): DecodeRequest takes any params value without a
// crash, and a request text encoded by EncodeRequest decodes to itself, through a URL-safe form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool UrlSafe(std::string_view text) {
  for (const char c : text) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum && c != '%') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  kx::posix::NettleDes des;
  static_cast<void>(kx::DecodeRequest(des, input));

  std::string request = input;
  std::string plainCopy;
  Require(kx::EncodeRequest(des, request, plainCopy) == 0);
  Require(plainCopy == input && UrlSafe(request));
  const std::optional<std::string> decoded = kx::DecodeRequest(des, request);
  Require(decoded && *decoded == input);
  return 0;
}
