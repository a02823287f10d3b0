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

namespace kximport {

// Where a run stands, as its progress messages tell it.
enum class RunStage { BeforeAnswer, Transfer, Waiting, Load, Document, After };

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

  // Follows the run's progress messages (text as the library sent it, Windows-1252).
  void Track(int32_t kind, int32_t value, std::string_view text);
  // ExportXML has returned: the watcher no longer waits for it.
  void RunEnded();
  bool Interrupted() const { return interrupted_; }
  // True for the first caller only: the run's thread and the watcher may both want to end the
  // process with the interrupt's line, and one line is printed.
  bool ClaimExit() { return !exitClaimed_.exchange(true); }
  RunStage Stage() const { return stage_; }
  // Where the run stood when Ctrl+C came: what a cancelled run ended.
  RunStage InterruptedAt() const { return interruptedAt_; }
  // The terminal's settings as they were before the run (a PIN prompt turns echo off).
  void RestoreTerminal() const;

  // The line that says what an interrupt at this stage ended and what it left alone.
  static std::string Line(RunStage stage);

 private:
  void Watch();

  Abandon onAbandon_;
  pthread_t runThread_;
  std::optional<termios> terminal_;
  std::atomic<RunStage> stage_{RunStage::BeforeAnswer};
  std::atomic<bool> interrupted_{false};
  std::atomic<RunStage> interruptedAt_{RunStage::After};
  std::atomic<bool> exitClaimed_{false};
  std::mutex mutex_;
  std::condition_variable ended_;
  bool runEnded_ = false;
  bool stopping_ = false;
  std::thread watcher_;
};

// The earlier document kept under a second name (a hard link) while a run may replace it: the
// document step removes it before it writes the new one, and a run that Ctrl+C ends puts it back,
// so that the interrupted run changed nothing a host imports.
class KeptDocument {
 public:
  explicit KeptDocument(std::string path);
  ~KeptDocument();  // the run has ended on its own: the second name goes
  KeptDocument(const KeptDocument&) = delete;
  KeptDocument& operator=(const KeptDocument&) = delete;

  // The earlier document under its name again (nothing when there was none).
  void Restore() const;

 private:
  std::string path_;
  std::string kept_;
  bool held_ = false;
};

}  // namespace kximport
