#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kx {

using DesBlock = std::array<unsigned char, 8>;

// DES in CBC mode, enciphering in place. No padding is added: the length must be a multiple of 8.
class DesCbc {
 public:
  virtual ~DesCbc() = default;
  // 0 on success, otherwise the implementation's non-zero error code (data is then unspecified).
  virtual int32_t Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) = 0;
  virtual int32_t Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) = 0;
};

}  // namespace kx
