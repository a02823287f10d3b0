#include "kxprovider/FaultPlan.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace kx {

namespace {

constexpr std::array<std::pair<std::string_view, FaultMode>, 13> kModeNames = {{
    {"status", FaultMode::kStatus},
    {"answer", FaultMode::kAnswer},
    {"short-body", FaultMode::kShortBody},
    {"long-body", FaultMode::kLongBody},
    {"no-length", FaultMode::kNoLength},
    {"bad-length", FaultMode::kBadLength},
    {"empty-body", FaultMode::kEmptyBody},
    {"stall", FaultMode::kStall},
    {"stall-body", FaultMode::kStallBody},
    {"slow-body", FaultMode::kSlowBody},
    {"drop", FaultMode::kDrop},
    {"redirect-https", FaultMode::kRedirectHttps},
    {"redirect-http", FaultMode::kRedirectHttp},
}};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::size_t ParseBytes(std::string_view mode, std::string_view value) {
  const std::optional<std::size_t> bytes = ParseNumber<std::size_t>(value);
  if (!bytes)
    throw FaultError("fault " + std::string(mode) + " needs a byte count, not \"" + std::string(value) +
                     "\"");
  return *bytes;
}

std::chrono::milliseconds ParsePause(std::string_view mode, std::string_view value) {
  const std::optional<double> seconds = ParseNumber<double>(value);
  if (!seconds || !(*seconds >= 0.0)) {
    throw FaultError("fault " + std::string(mode) + " needs seconds, not \"" + std::string(value) + "\"");
  }
  if (*seconds * 1000.0 >= static_cast<double>(kMaxPause.count())) return kMaxPause;
  return std::chrono::milliseconds(std::llround(*seconds * 1000.0));
}

}  // namespace

Fault ParseFault(std::string_view mode, std::string_view value) {
  Fault fault;
  bool known = false;
  for (const auto& [name, named] : kModeNames) {
    if (name == mode) {
      fault.mode = named;
      known = true;
    }
  }
  if (!known) throw FaultError("unknown fault mode \"" + std::string(mode) + "\"");

  switch (fault.mode) {
    case FaultMode::kStatus: {
      const std::optional<int> status = ParseNumber<int>(value);
      if (!status || *status < 200 || *status > 599) {
        throw FaultError("fault status needs an HTTP status from 200 to 599, not \"" + std::string(value) +
                         "\"");
      }
      fault.status = *status;
      break;
    }
    case FaultMode::kAnswer:
      fault.text = std::string(value);
      break;
    case FaultMode::kShortBody:
    case FaultMode::kLongBody:
    case FaultMode::kDrop:
      fault.bytes = ParseBytes(mode, value);
      break;
    case FaultMode::kStall:
    case FaultMode::kStallBody:
    case FaultMode::kSlowBody:
      fault.pause = ParsePause(mode, value);
      break;
    default:
      break;
  }
  return fault;
}

unsigned ParseFaultCount(std::string_view count) {
  if (count.empty()) return 1;
  const std::optional<unsigned> value = ParseNumber<unsigned>(count);
  if (!value) throw FaultError("fault count must be a whole number, not \"" + std::string(count) + "\"");
  return *value;
}

void FaultPlan::Queue(Fault fault, unsigned count) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.size() >= kMaxEntries) throw FaultError("too many faults queued");
  entries_.push_back(Entry{std::move(fault), count});
}

std::optional<Fault> FaultPlan::Next() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (entries_.empty()) return std::nullopt;
  Entry& head = entries_.front();
  Fault fault = head.fault;
  if (head.remaining > 0 && --head.remaining == 0) entries_.pop_front();
  return fault;
}

void FaultPlan::Clear() {
  const std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
}

}  // namespace kx
