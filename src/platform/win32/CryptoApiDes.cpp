#include "platform/win32/CryptoApiDes.h"

#include <windows.h>

#include <wincrypt.h>

#include <cstring>

namespace kx::win32 {
namespace {

constexpr int32_t kBadLength = 1;

struct PlainKeyBlob {
  BLOBHEADER header;
  DWORD size;
  BYTE key[8];
};

class Provider {
 public:
  Provider() {
    if (!CryptAcquireContextA(&handle_, nullptr, MS_ENHANCED_PROV_A, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT))
      handle_ = 0;
  }
  ~Provider() {
    if (handle_ != 0) CryptReleaseContext(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  HCRYPTPROV Get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

class Key {
 public:
  Key() = default;
  ~Key() {
    if (handle_ != 0) CryptDestroyKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HCRYPTKEY* Out() { return &handle_; }
  HCRYPTKEY Get() const { return handle_; }

 private:
  HCRYPTKEY handle_ = 0;
};

int32_t LastError() {
  const DWORD code = GetLastError();
  return code != 0 ? static_cast<int32_t>(code) : -1;
}

int32_t Run(std::string& data, const DesBlock& keyBytes, const DesBlock& iv, bool encipher) {
  if (data.size() % 8 != 0) return kBadLength;
  const Provider provider;
  if (provider.Get() == 0) return LastError();

  PlainKeyBlob blob{};
  blob.header.bType = PLAINTEXTKEYBLOB;
  blob.header.bVersion = CUR_BLOB_VERSION;
  blob.header.aiKeyAlg = CALG_DES;
  blob.size = 8;
  std::memcpy(blob.key, keyBytes.data(), 8);
  Key key;
  if (!CryptImportKey(provider.Get(), reinterpret_cast<const BYTE*>(&blob), sizeof blob, 0, 0, key.Out())) {
    return LastError();
  }
  DWORD mode = CRYPT_MODE_CBC;
  if (!CryptSetKeyParam(key.Get(), KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0)) return LastError();
  if (!CryptSetKeyParam(key.Get(), KP_IV, iv.data(), 0)) return LastError();

  // Final = FALSE: the API adds no padding and removes none; the caller pads.
  auto* bytes = reinterpret_cast<BYTE*>(data.data());
  DWORD length = static_cast<DWORD>(data.size());
  const BOOL ok = encipher ? CryptEncrypt(key.Get(), 0, FALSE, 0, bytes, &length, length)
                           : CryptDecrypt(key.Get(), 0, FALSE, 0, bytes, &length);
  if (!ok) return LastError();
  return length == data.size() ? 0 : kBadLength;
}

}  // namespace

int32_t CryptoApiDes::Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) {
  return Run(data, key, iv, true);
}

int32_t CryptoApiDes::Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) {
  return Run(data, key, iv, false);
}

}  // namespace kx::win32
