#pragma once

#include <optional>
#include <string>
#include <string_view>

// The download progress window's behaviour: the sliding bar, the cancel button, the one window at
// a time. The user-interface adapters draw it (a 1000 ms timer calls Timer1Timer) and call this.
namespace kx {

class TfrmDownloadProgress {
 public:
  static constexpr int kPanelLeft = 16;
  static constexpr int kPanelWidth = 209;
  static constexpr int kBarWidth = 33;
  static constexpr std::string_view kCancelling = "Download wird abgebrochen !";

  bool CancelRequested = false;

  void FormShow();
  // Once a second while the timer runs: the bar moves 10 pixels, back to the start at the end.
  void Timer1Timer();
  // "Download abbrechen": the flag, the caption, a red bar, and the timer stops.
  void Button1Click();

  int BarLeft() const { return barLeft_; }
  bool BarRed() const { return red_; }
  bool TimerEnabled() const { return timer_; }
  std::string Label1Caption() const;

 private:
  int barLeft_ = 0;
  bool red_ = false;
  bool timer_ = false;
};

// The one progress window of the download: shown, asked and closed by the download.
class DownloadProgress {
 public:
  // A second show while a window exists does nothing. Returns whether a window was created.
  bool Show();
  bool Cancelled() const { return window_ && window_->CancelRequested; }
  void Close() { window_.reset(); }
  TfrmDownloadProgress* Window() { return window_ ? &*window_ : nullptr; }

 private:
  std::optional<TfrmDownloadProgress> window_;
};

}  // namespace kx
