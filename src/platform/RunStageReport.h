#pragma once

#include "util/RunStage.h"

namespace kx {

// Tells a tool that runs the library in its own process where the run stands, so that it never
// guesses from the host's progress texts. On POSIX: one datagram of one byte (the stage's number)
// to the socket whose descriptor the environment variable KX_STAGE_FD names, when it names one;
// a failed send is ignored. On Windows nothing: hosts follow the run by its progress messages.
void ReportRunStage(RunStage stage);

// The environment variable that names the socket.
inline constexpr const char* kStageSocketVariable = "KX_STAGE_FD";

}  // namespace kx
