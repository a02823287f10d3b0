#include "platform/posix/NettleDes.h"

#include <nettle/cbc.h>
#include <nettle/des.h>

namespace kx::posix {
namespace {

constexpr int32_t kBadLength = 1;
constexpr int32_t kWeakKey = 2;

int32_t Run(std::string& data, const DesBlock& key, const DesBlock& iv, bool encipher) {
  if (data.size() % DES_BLOCK_SIZE != 0) return kBadLength;
  des_ctx ctx;
  if (des_set_key(&ctx, key.data()) == 0) return kWeakKey;
  DesBlock chain = iv;
  auto* bytes = reinterpret_cast<uint8_t*>(data.data());
  if (encipher) {
    cbc_encrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des_encrypt), DES_BLOCK_SIZE, chain.data(),
                data.size(), bytes, bytes);
  } else {
    cbc_decrypt(&ctx, reinterpret_cast<nettle_cipher_func*>(des_decrypt), DES_BLOCK_SIZE, chain.data(),
                data.size(), bytes, bytes);
  }
  return 0;
}

}  // namespace

int32_t NettleDes::Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) {
  return Run(data, key, iv, true);
}

int32_t NettleDes::Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) {
  return Run(data, key, iv, false);
}

}  // namespace kx::posix
