// The request encoding of the Windows build, for comparison with an independent DES: for each
// request text on the command line, one line
//
//   cipher=HEX encoded=TEXT decoded=HEX
//
// cipher: DES-CBC by the CryptoAPI adapter (request key and IV) of the text padded to 8 bytes;
// encoded: the whole EncodeRequest result; decoded: DecodeRequest of that result, as hex of the
// bytes (empty for an empty text). Exit code 1 when any step fails.
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "net/ImpApiCrypto.h"
#include "platform/win32/CryptoApiDes.h"
#include "provider/ImpApi_Korvalix_Request.h"

namespace {

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// One line for one request text; false (and a message on stderr) when a step fails.
bool PrintEncodings(kx::DesCbc& des, const std::string& text) {
  std::string padded = text;
  kx::PadToBlock(padded, 8);
  if (const int32_t code = des.Encipher(padded, kx::kRequestKey, kx::kRequestIv); code != 0) {
    std::fprintf(stderr, "Encipher of \"%s\" failed: %ld\n", text.c_str(), static_cast<long>(code));
    return false;
  }
  std::string encoded = text;
  std::string plainCopy;
  if (const int32_t code = kx::EncodeRequest(des, encoded, plainCopy); code != 0) {
    std::fprintf(stderr, "EncodeRequest of \"%s\" failed: %ld\n", text.c_str(), static_cast<long>(code));
    return false;
  }
  const std::optional<std::string> decoded = kx::DecodeRequest(des, encoded);
  if (!decoded) {
    std::fprintf(stderr, "DecodeRequest of the encoding of \"%s\" failed\n", text.c_str());
    return false;
  }
  std::printf("cipher=%s encoded=%s decoded=%s\n", Hex(padded).c_str(), encoded.c_str(),
              Hex(*decoded).c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  kx::win32::CryptoApiDes des;
  bool ok = true;
  for (int i = 1; i < argc; ++i) ok = PrintEncodings(des, argv[i]) && ok;
  return ok ? 0 : 1;
}
