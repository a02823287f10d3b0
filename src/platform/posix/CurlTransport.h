#pragma once

#include <string>

#include "platform/HttpTransport.h"
#include "platform/UserInterface.h"

namespace kx::posix {

using kx::kCaFileVariable;

// What the requests of one session share.
struct CurlSessionState {
  std::string userAgent;
  std::string caFile;
  std::string proxyUserPassword;  // set after the user entered proxy credentials
  int32_t timeoutSeconds = 0;
};

// HTTP(S) with libcurl: the environment's proxy settings, certificates verified against the
// system's trust store (or the CA file of VELQORA_CA_FILE), the body pulled in chunks.
class CurlTransport final : public HttpTransport {
 public:
  explicit CurlTransport(UserInterface& ui) : ui_(ui) {}
  std::unique_ptr<HttpSession> OpenSession(std::string_view userAgent, std::string& errorText) override;

 private:
  UserInterface& ui_;
};

}  // namespace kx::posix
