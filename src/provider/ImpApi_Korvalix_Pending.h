#pragma once

#include "provider/ImpApi_Korvalix_Run.h"

// Collaborators of the run that this version of the library does not have yet. Each fails
// plainly with a clear message instead of pretending to work; the run reports the message as an
// error line and ends with -29.
namespace kx {

class PendingServerStarter final : public ServerStarter {
 public:
  std::string StartInterBaseServer() override;
};

}  // namespace kx
