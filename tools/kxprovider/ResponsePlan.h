#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kxprovider/FaultPlan.h"
#include "kxprovider/Httplib.h"
#include "kxprovider/StopSignal.h"

namespace kx {

inline constexpr std::string_view kTextContentType = "text/plain; charset=windows-1252";

// What goes on the wire for one answer. The body is always written by the simulator itself, so
// cpp-httplib neither compresses it nor adds a length of its own: every byte and header is the
// plan's.
struct ResponsePlan {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // besides Content-Type
  std::string body;
  std::optional<std::string> contentLength;  // the Content-Length header; none when empty
  bool chunked = false;                      // chunked transfer encoding
  std::size_t sendBytes = 0;                 // how many bytes of the body are sent
  std::chrono::milliseconds delay{0};        // before the status line
  std::size_t pauseAt = 0;                   // body offset of the pause
  std::chrono::milliseconds pause{0};        // inside the body
  std::chrono::milliseconds spread{0};       // the whole body's pieces spread over this long
  bool closeAfter = false;                   // close the connection after the body (no last chunk)
};

// status with the whole body and its exact length.
ResponsePlan PlainResponse(int status, std::string body);

// The listeners a redirect may point to: "https://127.0.0.1:PORT", empty when there is none.
struct RedirectBases {
  std::string https;
  std::string http;
};

// Shapes the plan of the real answer by a fault. target is the request's path and query.
void ApplyFault(ResponsePlan& plan, const Fault& fault, const RedirectBases& bases, std::string_view target);

// Hands the plan to cpp-httplib. The body writer pauses on stop, so a shutdown ends the pause.
// The delay is not taken here: the handler waits before calling this.
void WriteResponse(httplib::Response& response, ResponsePlan plan, const StopSignal& stop);

}  // namespace kx
