#include "staging/StagingWait.h"

#include "util/Cp1252.h"
#include "util/Error.h"

namespace kx {

StagingWait::StagingWait(StagingWaitContext context, std::string databaseName, int32_t seconds)
    : context_(context),
      databaseName_(std::move(databaseName)),
      seconds_(seconds),
      deadline_(context.Clock.Now() + static_cast<double>(seconds) / 86400.0) {}

StagingWait::~StagingWait() {
  if (!shown_) return;
  context_.Ui.CloseDownloadProgress();
  context_.Progress.Enter(RunStage::Load);
}

bool StagingWait::Pause() {
  if (!shown_) {
    const std::string howLong = seconds_ > 0 ? "bis zu " + std::to_string(seconds_) + " Sekunden " : "";
    context_.Progress.Send(KX_PROGRESS_STATUS, 10,
                           "Die Staging-Datenbank wird gerade von einem anderen Import benutzt; warte " +
                               howLong + "auf ihr Ende ...");
    context_.Ui.ShowDownloadProgress();
    context_.Progress.Enter(RunStage::Waiting);
    shown_ = true;
  }
  if (seconds_ > 0 && context_.Clock.Now() >= deadline_) {
    throw Error(
        "Die Staging-Datenbank " + databaseName_ + " war " + std::to_string(seconds_) +
        std::string(
            " Sekunden lang von einem anderen Import oder Programm belegt; dieser Import wurde beendet, ohne "
            "sie zu verändern."_cp1252));
  }
  context_.Clock.Sleep(kPauseMs);
  context_.Clock.PumpMessages();
  return !context_.Ui.DownloadCancelled();
}

}  // namespace kx
