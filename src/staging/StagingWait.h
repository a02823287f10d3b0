#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemClock.h"
#include "platform/UserInterface.h"
#include "util/DateTime.h"
#include "util/ProgressSink.h"

namespace kx {

// What the wait talks to.
struct StagingWaitContext {
  ProgressSink& Progress;
  SystemClock& Clock;
  UserInterface& Ui;
};

// A run's wait for the staging database while another import holds it. The first pause says so
// in one line and shows the progress window, whose cancel button (Ctrl+C on a terminal) ends the
// wait; every pause lets the host's messages run. The window closes with the wait.
class StagingWait {
 public:
  StagingWait(StagingWaitContext context, std::string databaseName, int32_t seconds);
  ~StagingWait();
  StagingWait(const StagingWait&) = delete;
  StagingWait& operator=(const StagingWait&) = delete;

  // After the database was found held: pauses briefly and returns true to try again, or false
  // when the user cancelled. Raises Error naming the database when the time given is up; 0 or
  // less sets no time, as the Timeout setting does for the transfer.
  bool Pause();

  // How long one pause lasts: the wait ends this soon after the other run does.
  static constexpr uint32_t kPauseMs = 200;

 private:
  StagingWaitContext context_;
  std::string databaseName_;
  int32_t seconds_;
  DateTime deadline_;
  bool shown_ = false;
};

}  // namespace kx
