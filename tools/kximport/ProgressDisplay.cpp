#include "kximport/ProgressDisplay.h"

#include <cstdio>

#include "ImpApiKorvalix.h"
#include "Language.h"
#include "kximport/ProviderTransfer.h"

namespace kximport {
namespace {

constexpr int kBarWidth = 30;
constexpr std::size_t kLabelWidth = 60;
constexpr auto kTransferInterval = std::chrono::milliseconds(100);
constexpr int32_t kHandOff = 10;

}  // namespace

void ProgressDisplay::StartStage(const std::string& label) {
  const auto now = std::chrono::steady_clock::now();
  if (!stages_.empty()) stages_.back().seconds = std::chrono::duration<double>(now - stageStart_).count();
  stages_.push_back({label, 0});
  stageStart_ = now;
}

void ProgressDisplay::Show(int32_t kind, int32_t value, const std::string& text) {
  const std::lock_guard lock(mutex_);
  // Error lines stand on the console already; a provider file that arrived ends its step.
  if (kind == KX_PROGRESS_LOG && !text.empty()) details_.push_back(text);
  if (kind == KX_PROGRESS_LOG && text.starts_with("Datendatei geladen")) details_.clear();
  switch (kind) {
    case KX_PROGRESS_STATUS:
      details_.clear();
      if (value > 0) percent_ = value;
      label_ = text;
      transferText_.clear();
      StartStage(text);
      if (terminal_) {
        Draw();
      } else {
        std::printf("[%3d%%] %s\n", percent_, text.c_str());
      }
      break;
    case KX_PROGRESS_POSITION: {
      // The step to 10 hands the fetched files to the database step: opening the database (the
      // engine's start, embedded) is a stage of its own, not the download's.
      if (value == kHandOff && percent_ < kHandOff)
        StartStage(kx::tools::Say("Staging-Datenbank öffnen", "Opening the staging database"));
      const bool moved = value != percent_;
      percent_ = value;
      if (terminal_ && (UpdateTransfer() || moved)) Draw();
      break;
    }
    case KX_PROGRESS_LOG: {
      if (!verbose_) break;
      ClearBar();
      std::string shown = text;  // lines of one message are indented alike
      for (std::size_t p = shown.find("\r\n"); p != std::string::npos; p = shown.find("\r\n", p)) {
        shown.replace(p, 2, "\n       ");
      }
      std::printf("       %s\n", shown.c_str());
      if (terminal_) Draw();
      break;
    }
    default:
      ClearBar();
      std::fflush(stdout);
      std::fprintf(stderr, "%s%s\n", kx::tools::Say("Fehler: ", "Error: ").c_str(), text.c_str());
      if (terminal_) Draw();
      break;
  }
  std::fflush(stdout);
}

// True when the transfer's text changed.
bool ProgressDisplay::UpdateTransfer() {
  if (!transferBytes_) return false;
  const auto now = std::chrono::steady_clock::now();
  if (now - transferAsked_ < kTransferInterval) return false;
  transferAsked_ = now;
  const std::optional<int64_t> bytes = transferBytes_();
  std::string text = bytes ? ByteText(*bytes) : std::string();
  if (text == transferText_) return false;
  transferText_ = std::move(text);
  return true;
}

void ProgressDisplay::Draw() {
  const int filled = percent_ * kBarWidth / 100;
  std::string label = transferText_.empty() ? label_ : label_ + " " + transferText_;
  if (label.size() > kLabelWidth) label = "..." + label.substr(label.size() - kLabelWidth + 3);
  std::printf("\r\033[K[%s%s] %3d%%  %s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
              std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), percent_,
              label.c_str());
  barShown_ = true;
}

void ProgressDisplay::ClearBar() {
  if (!barShown_) return;
  std::printf("\r\033[K");
  barShown_ = false;
}

void ProgressDisplay::Say(const std::string& line) {
  const std::lock_guard lock(mutex_);
  ClearBar();
  std::fflush(stdout);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
}

std::vector<std::string> ProgressDisplay::Details() const {
  const std::lock_guard lock(mutex_);
  return details_;
}

void ProgressDisplay::Finish(bool succeeded) {
  const std::lock_guard lock(mutex_);
  StartStage("");
  stages_.pop_back();
  if (succeeded) {
    percent_ = 100;
    label_ = kx::tools::Say("Import abgeschlossen.", "Import completed.");
    if (terminal_) {
      Draw();
      std::printf("\n");
    } else {
      std::printf("[100%%] %s\n", label_.c_str());
    }
  } else if (barShown_) {
    std::printf("\n");
  }
  std::fflush(stdout);
}

}  // namespace kximport
