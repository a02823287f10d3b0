#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/DesCbc.h"

namespace kx {

// The fixed key and initialisation vector of the provider's request encoding.
inline constexpr DesBlock kRequestKey = {'p', '8', 'H', 'x', '2', 'V', 'm', 'Z'};
inline constexpr DesBlock kRequestIv = {'R', 'w', '4', 'k', 'T', '7', 'n', 'Q'};

std::string HoldingsRequestText(std::string_view login, std::string_view pin);
std::string TransactionsRequestText(std::string_view login, std::string_view pin, std::string_view startId1,
                                    std::string_view startId2, int reimport);

// Replaces requestText by its URL-ready encoded form (pad, DES-CBC, IV prefix, Base64, percent
// encoding) and leaves the text before encoding in plainCopy. 0, or the cipher's error code.
int32_t EncodeRequest(DesCbc& des, std::string& requestText, std::string& plainCopy);

// The receiving side: the request text of an encoded params value, or nothing when it is not one.
std::optional<std::string> DecodeRequest(DesCbc& des, std::string_view params);

}  // namespace kx
