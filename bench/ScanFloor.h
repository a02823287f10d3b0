#pragma once

// The floor of the document: every staging row read once, and a file of the document's size.
#include <cstdint>
#include <string>

namespace kx::bench {

struct ScanResult {
  int64_t rows = 0;
  int64_t bytes = 0;  // written to the file
};

// Reads every column of every row of BESTAENDE and TRANSAKTIONEN (one select per table) as text
// through a 65535-byte buffer into outputFile, and writes until the file holds exactly bytes
// bytes: the scanned text is cut there, or repeated up to it.
ScanResult ScanStagingTables(const std::string& database, const std::string& outputFile, int64_t bytes);

}  // namespace kx::bench
