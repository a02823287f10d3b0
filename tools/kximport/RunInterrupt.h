#pragma once

#include <pthread.h>
#include <termios.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "util/RunStage.h"

namespace kximport {

// Where a run stands, as the library reports it (platform/RunStageReport.h).
using RunStage = kx::RunStage;

// Ctrl+C during a run, decided by kximport alone. SIGINT is blocked in the constructing thread
// and so in every thread started after it: the database client's own handler (which would end
// the load with "connection shutdown") never runs, and one watcher thread takes the signal with
// sigwait. During a transfer, and while the run waits for a staging database that another import
// holds, the signal goes on to the run's thread, where the library's progress window takes it as
// its cancel button (the run then returns its cancel code); at any
// other moment, or when the run has not returned within the grace time, onAbandon is called on
// the watcher thread and must end the process.
class RunInterrupt {
 public:
  using Abandon = std::function<void(RunStage)>;
  // Construct before the library and the database client are loaded (they may start threads).
  explicit RunInterrupt(Abandon onAbandon);
  ~RunInterrupt();
  RunInterrupt(const RunInterrupt&) = delete;
  RunInterrupt& operator=(const RunInterrupt&) = delete;

  // ExportXML has returned: the watcher no longer waits for it.
  void RunEnded();
  bool Interrupted() const { return interrupted_; }
  // True for the first caller only: the run's thread and the watcher may both want to end the
  // process with the interrupt's line, and one line is printed.
  bool ClaimExit() { return !exitClaimed_.exchange(true); }
  // Where the run stood when Ctrl+C came: what a cancelled run ended.
  RunStage InterruptedAt() const { return interruptedAt_; }
  // The terminal's settings as they were before the run (a PIN prompt turns echo off).
  void RestoreTerminal() const;

  // The line that says what an interrupt at this stage ended and what the run leaves: putBack
  // names the provider files put back as they were before the run (KeptProviderFiles).
  static std::string Line(RunStage stage, const std::vector<std::string>& putBack);

 private:
  void Watch();
  // The stage the library reported last: its datagrams read so far. Under mutex_.
  RunStage StageLocked();

  Abandon onAbandon_;
  pthread_t runThread_;
  std::optional<termios> terminal_;
  int stageSockets_[2] = {-1, -1};  // the library writes to [1], the watcher reads [0]
  RunStage stage_ = RunStage::BeforeAnswer;
  std::atomic<bool> interrupted_{false};
  std::atomic<RunStage> interruptedAt_{RunStage::After};
  std::atomic<bool> exitClaimed_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  bool runEnded_ = false;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace kximport
