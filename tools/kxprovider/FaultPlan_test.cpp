#include "kxprovider/FaultPlan.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx {
namespace {

TEST(FaultPlan, ValuesAreReadPerMode) {
  EXPECT_EQ(ParseFault("status", "503").status, 503);
  EXPECT_EQ(ParseFault("answer", "Fehler 10 - abc").text, "Fehler 10 - abc");
  EXPECT_EQ(ParseFault("short-body", "60").bytes, 60u);
  EXPECT_EQ(ParseFault("drop", "0").bytes, 0u);
  EXPECT_EQ(ParseFault("stall", "2").pause, std::chrono::milliseconds(2000));
  EXPECT_EQ(ParseFault("stall-body", "0.25").pause, std::chrono::milliseconds(250));
  EXPECT_EQ(ParseFault("slow-body", "3").pause, std::chrono::milliseconds(3000));
  EXPECT_EQ(ParseFault("redirect-http", "").mode, FaultMode::kRedirectHttp);
}

TEST(FaultPlan, PausesAreCappedAtSixtySeconds) {
  EXPECT_EQ(ParseFault("stall", "3600").pause, kMaxPause);
  EXPECT_EQ(ParseFault("stall-body", "1e9").pause, kMaxPause);
}

TEST(FaultPlan, UnusableRequestsAreRefused) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"teapot", ""},    {"status", ""},       {"status", "99"},       {"status", "600"},
      {"status", "5O3"}, {"short-body", "-1"}, {"long-body", "ten"},   {"drop", "4 "},
      {"stall", "-0.5"}, {"stall", "nan"},     {"stall-body", "soon"},
  };
  for (const auto& [mode, value] : cases) {
    EXPECT_THROW(ParseFault(mode, value), FaultError) << mode << " " << value;
  }
  EXPECT_THROW(ParseFaultCount("-1"), FaultError);
  EXPECT_THROW(ParseFaultCount("two"), FaultError);
}

TEST(FaultPlan, CountDefaultsToOneAndZeroMeansForever) {
  EXPECT_EQ(ParseFaultCount(""), 1u);
  EXPECT_EQ(ParseFaultCount("0"), 0u);
  EXPECT_EQ(ParseFaultCount("3"), 3u);
}

std::vector<int> StatusesOfNextRequests(FaultPlan& plan, int requests) {
  std::vector<int> statuses;
  for (int i = 0; i < requests; ++i) {
    const std::optional<Fault> fault = plan.Next();
    statuses.push_back(fault ? fault->status : 0);
  }
  return statuses;
}

TEST(FaultPlan, QueuedFaultsServeTheirCountInOrder) {
  FaultPlan plan;
  plan.Queue(ParseFault("status", "503"), 2);
  plan.Queue(ParseFault("status", "404"), 1);
  EXPECT_EQ(StatusesOfNextRequests(plan, 5), (std::vector<int>{503, 503, 404, 0, 0}));
}

TEST(FaultPlan, ForeverFaultHoldsUntilCleared) {
  FaultPlan plan;
  plan.Queue(ParseFault("status", "500"), 0);
  plan.Queue(ParseFault("status", "404"), 1);
  EXPECT_EQ(StatusesOfNextRequests(plan, 3), (std::vector<int>{500, 500, 500}));
  plan.Clear();
  EXPECT_FALSE(plan.Next().has_value());
}

TEST(FaultPlan, QueueIsBounded) {
  FaultPlan plan;
  for (std::size_t i = 0; i < FaultPlan::kMaxEntries; ++i) plan.Queue(ParseFault("no-length", ""), 1);
  EXPECT_THROW(plan.Queue(ParseFault("no-length", ""), 1), FaultError);
}

}  // namespace
}  // namespace kx
