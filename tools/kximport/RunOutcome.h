#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "kximport/DataReport.h"

namespace kximport {

// What a failed run prints below its result line: the library's text (or kximport's own where
// the library's speaks to the host's user), the failing step's detail lines, and the check that
// finds the cause. checkCommand is the "kximport check ..." line for this run's settings and
// folder; pinAsked says that the library asked for the PIN at the terminal. Texts in UTF-8.
std::vector<std::string> FailureLines(int32_t result, const std::string& libraryText,
                                      const std::vector<std::string>& details,
                                      const std::string& checkCommand, bool pinAsked);

// Per provider file, what the run refused and cut, with the log that lists the refusals; nothing
// when nothing was dropped. Returns the number of refused records.
int64_t PrintDropped(const std::vector<ProviderFileReport>& reports, const std::string& dataDir,
                     std::ostream& out);

// When the holdings file held no record that names its advisor (VERBERNR): the provider's answer
// held no data (an answer of its header alone, an HTML page), which the document alone shows
// only as an import without customers. Says so, with the check that shows the file.
void PrintNoRecords(const std::vector<ProviderFileReport>& reports, const std::string& dataDir,
                    std::ostream& out);

}  // namespace kximport
