#pragma once

#include "platform/DesCbc.h"

namespace kx::posix {

// DES-CBC with Nettle. Error codes: 1 for a length that is not a multiple of 8, 2 for a weak key.
class NettleDes final : public DesCbc {
 public:
  int32_t Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) override;
  int32_t Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) override;
};

}  // namespace kx::posix
