#include "kxprovider/ResponsePlan.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace kx {

namespace {

constexpr std::size_t kMaxChunk = 16384;
// A slow body comes in this many pieces.
constexpr int kSlowPieces = 50;

// Writes body bytes, framed as chunks when the plan is chunked. False when the client is gone.
bool SendBody(httplib::DataSink& sink, bool chunked, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, chunked ? kMaxChunk : bytes.size());
    if (chunked) {
      char size[24];
      const int n = std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
      if (!sink.write(size, static_cast<std::size_t>(n))) return false;
    }
    if (!sink.write(piece.data(), piece.size())) return false;
    if (chunked && !sink.write("\r\n", 2)) return false;
    bytes.remove_prefix(piece.size());
  }
  return true;
}

void Redirect(ResponsePlan& plan, const std::string& base, std::string_view target) {
  if (base.empty()) return;
  plan = PlainResponse(302, std::string());
  plan.headers.emplace_back("Location", base + std::string(target));
}

}  // namespace

ResponsePlan PlainResponse(int status, std::string body) {
  ResponsePlan plan;
  plan.status = status;
  plan.contentLength = std::to_string(body.size());
  plan.sendBytes = body.size();
  plan.body = std::move(body);
  return plan;
}

void ApplyFault(ResponsePlan& plan, const Fault& fault, const RedirectBases& bases, std::string_view target) {
  const std::size_t size = plan.body.size();
  switch (fault.mode) {
    case FaultMode::kStatus:
      plan = PlainResponse(fault.status, "simulated status");
      if (fault.status == 407) plan.headers.emplace_back("Proxy-Authenticate", "Basic realm=\"kx\"");
      if (fault.status == 401) plan.headers.emplace_back("WWW-Authenticate", "Basic realm=\"kx\"");
      break;
    case FaultMode::kAnswer:
      plan = PlainResponse(200, fault.text);
      break;
    case FaultMode::kShortBody:
      plan.sendBytes = std::min(fault.bytes, size);
      plan.closeAfter = true;
      break;
    case FaultMode::kLongBody:
      plan.contentLength = std::to_string(size - std::min(fault.bytes, size));
      plan.closeAfter = true;
      break;
    case FaultMode::kNoLength:
      plan.contentLength.reset();
      plan.chunked = true;
      break;
    case FaultMode::kBadLength:
      plan.contentLength = "abc";
      plan.closeAfter = true;
      break;
    case FaultMode::kEmptyBody:
      plan = PlainResponse(200, std::string());
      break;
    case FaultMode::kStall:
      plan.delay = fault.pause;
      break;
    case FaultMode::kStallBody:
      plan.pauseAt = size / 2;
      plan.pause = fault.pause;
      break;
    case FaultMode::kSlowBody:
      plan.spread = fault.pause;
      break;
    case FaultMode::kDrop:
      plan.contentLength.reset();
      plan.chunked = true;
      plan.sendBytes = std::min(fault.bytes, size);
      plan.closeAfter = true;
      break;
    case FaultMode::kRedirectHttps:
      Redirect(plan, bases.https, target);
      break;
    case FaultMode::kRedirectHttp:
      Redirect(plan, bases.http, target);
      break;
  }
  if (plan.closeAfter) plan.headers.emplace_back("Connection", "close");
}

void WriteResponse(httplib::Response& response, ResponsePlan plan, const StopSignal& stop) {
  response.status = plan.status;
  for (const auto& [name, value] : plan.headers) response.set_header(name, value);
  if (plan.contentLength) response.set_header("Content-Length", *plan.contentLength);
  if (plan.chunked) response.set_header("Transfer-Encoding", "chunked");

  // A provider without length: cpp-httplib sends the headers as they are and leaves the body,
  // framing included, to this writer. Returning false makes it close the connection.
  auto shared = std::make_shared<const ResponsePlan>(std::move(plan));
  response.set_content_provider(
      std::string(kTextContentType), [shared, &stop](std::size_t /*offset*/, httplib::DataSink& sink) {
        const ResponsePlan& p = *shared;
        const std::string_view body = std::string_view(p.body).substr(0, p.sendBytes);
        const std::size_t pauseAt = p.pause.count() > 0 ? std::min(p.pauseAt, body.size()) : body.size();
        if (p.spread.count() > 0) {
          // kSlowPieces pieces, each after its share of the time.
          const std::size_t piece = body.size() / kSlowPieces + 1;
          for (std::size_t at = 0; at < body.size(); at += piece) {
            if (!SendBody(sink, p.chunked, body.substr(at, piece))) return false;
            stop.WaitFor(p.spread / kSlowPieces);
          }
        } else {
          if (!SendBody(sink, p.chunked, body.substr(0, pauseAt))) return false;
          if (p.pause.count() > 0) stop.WaitFor(p.pause);
          if (!SendBody(sink, p.chunked, body.substr(pauseAt))) return false;
        }
        if (p.chunked && !p.closeAfter && !sink.write("0\r\n\r\n", 5)) return false;
        sink.done();
        return !p.closeAfter;
      });
}

}  // namespace kx
