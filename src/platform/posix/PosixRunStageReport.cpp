#include <sys/socket.h>

#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/RunStageReport.h"
#include "util/WholeNumber.h"

namespace kx {

void ReportRunStage(RunStage stage) {
  const char* named = std::getenv(kStageSocketVariable);
  if (named == nullptr) return;
  const std::optional<int> fd = WholeNumberOf<int>(std::string_view(named));
  if (!fd || *fd < 0) return;
  const auto byte = static_cast<unsigned char>(stage);
  // MSG_NOSIGNAL: a reader that has gone away must not end the run with SIGPIPE.
  (void)send(*fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace kx
