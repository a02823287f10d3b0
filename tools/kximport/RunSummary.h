#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "kximport/ProgressDisplay.h"

namespace kximport {

// --summary: what the written document holds (the balance entries of a first import counted apart
// from the transactions) and how long each stage took, in the environment's language; the stages
// keep the library's own texts. Raises std::runtime_error when the document cannot be read.
void PrintSummary(const std::string& documentPath, const std::vector<ProgressDisplay::Stage>& stages,
                  std::ostream& out);

}  // namespace kximport
