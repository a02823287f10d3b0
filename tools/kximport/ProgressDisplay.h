#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kximport {

// Shows the library's progress messages: a bar on a terminal (kind-2 values, the latest status
// line as its label), plain lines otherwise. Log lines only when verbose; error lines always, on
// standard error. Also times the stages: each status line starts one.
class ProgressDisplay {
 public:
  ProgressDisplay(bool terminal, bool verbose) : terminal_(terminal), verbose_(verbose) {}

  // On a terminal, the bar's label also shows how far a transfer has come: asked at most ten
  // times a second while the library reports its reads, nothing when it says there is none.
  using TransferBytes = std::function<std::optional<int64_t>()>;
  void ShowTransfer(TransferBytes bytes) { transferBytes_ = std::move(bytes); }

  // One message from the library, its text already UTF-8.
  void Show(int32_t kind, int32_t value, const std::string& text);
  // The end of the run: the bar reaches 100 % only when the import succeeded.
  void Finish(bool succeeded);
  // A line of kximport's own on standard error, the bar cleared first. Safe from another thread.
  void Say(const std::string& line);

  // The log lines of the latest step: what the failing step said about its cause (the
  // transport's reason, the file or database it named). The error lines were shown as they came.
  std::vector<std::string> Details() const;

  struct Stage {
    std::string label;
    double seconds;
  };
  const std::vector<Stage>& Stages() const { return stages_; }

 private:
  void Draw();
  void ClearBar();
  void StartStage(const std::string& label);
  bool UpdateTransfer();

  mutable std::mutex mutex_;  // Say() comes from the interrupt's thread
  bool terminal_;
  bool verbose_;
  int percent_ = 0;
  std::string label_;
  TransferBytes transferBytes_;
  std::string transferText_;  // shown after the label while a transfer runs
  std::chrono::steady_clock::time_point transferAsked_;
  bool barShown_ = false;
  std::vector<Stage> stages_;
  std::vector<std::string> details_;
  std::chrono::steady_clock::time_point stageStart_;
};

}  // namespace kximport
