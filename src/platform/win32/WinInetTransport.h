#pragma once

#include "platform/HttpTransport.h"

namespace kx::win32 {

// HTTP(S) with WinInet: the system's proxy settings, no cache, certificates checked by the
// system (the revocation check off), the proxy credentials dialog for a 407 answer.
class WinInetTransport final : public HttpTransport {
 public:
  std::unique_ptr<HttpSession> OpenSession(std::string_view userAgent, std::string& errorText) override;
};

// The calling thread's last system error: "code-text", "12002:Zeitüberschreitung (TimeOut)" for
// a WinInet time-out, or the bare code when the system has no text.
std::string LastSystemErrorText();

}  // namespace kx::win32
