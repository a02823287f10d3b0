#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "util/Error.h"

namespace kx {

enum class FaultMode {
  kStatus,         // that HTTP status, body "simulated status"
  kAnswer,         // 200 with the given body instead of the real answer
  kShortBody,      // the real length announced, only the first N bytes sent, then the connection closed
  kLongBody,       // a length N bytes short of the body announced, the whole body sent
  kNoLength,       // chunked transfer encoding, no Content-Length
  kBadLength,      // "Content-Length: abc", the body sent, then the connection closed
  kEmptyBody,      // 200 with Content-Length 0
  kStall,          // a pause before the answer
  kStallBody,      // headers and half the body, a pause, the rest
  kSlowBody,       // the body in pieces spread evenly over the pause, as a slow line delivers it
  kDrop,           // chunked, the first N bytes, then the connection closed without the last chunk
  kRedirectHttps,  // 302 to the same target on the HTTPS listener
  kRedirectHttp,   // 302 to the same target on the HTTP listener
};

struct Fault {
  FaultMode mode = FaultMode::kStatus;
  int status = 0;                      // kStatus
  std::string text;                    // kAnswer
  std::size_t bytes = 0;               // kShortBody, kLongBody, kDrop
  std::chrono::milliseconds pause{0};  // kStall, kStallBody, kSlowBody
};

// A fault request that cannot be carried out: unknown mode, a value that does not fit it.
class FaultError : public Error {
 public:
  using Error::Error;
};

// Longest pause a fault may ask for.
inline constexpr std::chrono::milliseconds kMaxPause{60000};

// The fault of a "mode" and "value" parameter pair. Raises FaultError.
Fault ParseFault(std::string_view mode, std::string_view value);
// The "count" parameter: empty is 1, 0 means every request until the plan is cleared. Raises FaultError.
unsigned ParseFaultCount(std::string_view count);

// The faults queued for the next endpoint requests, first queued first served; each entry serves
// its count of requests, one with count 0 serves every request until Clear.
class FaultPlan {
 public:
  static constexpr std::size_t kMaxEntries = 1000;

  void Queue(Fault fault, unsigned count);
  // The fault for the endpoint request being answered, if one is queued.
  std::optional<Fault> Next();
  void Clear();

 private:
  struct Entry {
    Fault fault;
    unsigned remaining;  // 0: forever
  };

  std::mutex mutex_;
  std::deque<Entry> entries_;
};

}  // namespace kx
