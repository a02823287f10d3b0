#include "provider/ImpApi_Korvalix_Request.h"

#include <algorithm>
#include <optional>

#include "net/ImpApiCrypto.h"
#include "net/ImpApiINet.h"

namespace kx {

std::string HoldingsRequestText(std::string_view login, std::string_view pin) {
  std::string text = "version=2;file=bestaende;loginid=";
  text.append(login).append(";pin=").append(pin).append(";");
  return text;
}

std::string TransactionsRequestText(std::string_view login, std::string_view pin, std::string_view startId1,
                                    std::string_view startId2, int reimport) {
  std::string text = "version=2;file=transaktionen;loginid=";
  text.append(login).append(";pin=").append(pin);
  text.append(";startid=").append(startId1).append(";startid2=").append(startId2);
  text.append(";reimport=").append(std::to_string(reimport));
  return text;
}

int32_t EncodeRequest(DesCbc& des, std::string& requestText, std::string& plainCopy) {
  plainCopy = requestText;
  std::string data = requestText;
  PadToBlock(data, 8);
  if (const int32_t code = des.Encipher(data, kRequestKey, kRequestIv); code != 0) return code;
  const std::string prefixed = std::string(kRequestIv.begin(), kRequestIv.end()) + data;
  requestText = UrlEncode(Base64Encode(prefixed), false);
  return 0;
}

std::optional<std::string> DecodeRequest(DesCbc& des, std::string_view params) {
  const std::optional<std::string> base64 = UrlDecode(params, false);
  if (!base64) return std::nullopt;
  std::optional<std::string> raw = Base64Decode(*base64);
  if (!raw || raw->size() < 16 || raw->size() % 8 != 0) return std::nullopt;
  DesBlock iv;
  std::copy(raw->begin(), raw->begin() + 8, iv.begin());
  std::string data = raw->substr(8);
  if (des.Decipher(data, kRequestKey, iv) != 0) return std::nullopt;
  const auto pad = static_cast<unsigned char>(data.back());
  if (pad < 1 || pad > 8) return std::nullopt;
  for (std::size_t i = data.size() - pad; i < data.size(); ++i) {
    if (static_cast<unsigned char>(data[i]) != pad) return std::nullopt;
  }
  data.resize(data.size() - pad);
  return data;
}

}  // namespace kx
