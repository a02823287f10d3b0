#include "dialogs/ImpApiDownloadProgress.h"

#include "util/Cp1252.h"

namespace kx {

void TfrmDownloadProgress::FormShow() {
  CancelRequested = false;
  timer_ = true;
}

void TfrmDownloadProgress::Timer1Timer() {
  if (!timer_) return;
  barLeft_ += 10;
  const int half = kBarWidth / 2;
  if (barLeft_ > kPanelWidth - half) barLeft_ = kPanelLeft - half;
}

void TfrmDownloadProgress::Button1Click() {
  CancelRequested = true;
  red_ = true;
  timer_ = false;
}

std::string TfrmDownloadProgress::Label1Caption() const {
  return red_ ? std::string(kCancelling) : std::string("Download läuft ..."_cp1252);
}

bool DownloadProgress::Show() {
  if (window_) return false;
  window_.emplace();
  window_->FormShow();
  return true;
}

}  // namespace kx
