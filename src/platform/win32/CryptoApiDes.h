#pragma once

#include "platform/DesCbc.h"

namespace kx::win32 {

// DES-CBC with the Windows CryptoAPI: a plaintext key blob of CALG_DES, CBC mode, the given IV,
// no padding by the API. Error codes are the system's (GetLastError), or 1 for a bad length.
class CryptoApiDes final : public DesCbc {
 public:
  int32_t Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) override;
  int32_t Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) override;
};

}  // namespace kx::win32
