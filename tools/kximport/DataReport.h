#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "kximport/CheckReport.h"
#include "staging/ImportTarget.h"
#include "util/FormatSettings.h"

namespace kximport {

// What the import does with a provider file's values that a user would not see otherwise.
struct DataFinding {
  enum class Kind { NullValue, Cut, LeftOut, TooFewFields, DuplicateId, Header, ZeroByte, Refused };
  Kind kind;
  int64_t line = 0;
  std::string column;        // the staging column
  std::size_t position = 0;  // the field's place in the record (1-based), 0 when none
  std::string raw;           // the provider's text (Windows-1252)
  std::string detail;        // the column type, the length kept, the other line, the refusal's text
};

struct ProviderFileReport {
  std::string path;
  int64_t records = 0;  // records after the header
  int64_t stored = 0;   // rows the import stores
  int64_t refused = 0;  // records the import refuses (its error log, a repeated id)
  int64_t leftOut = 0;  // transactions left out by their type code
  std::vector<DataFinding> findings;
  std::map<std::string, int64_t> nullsByColumn;
  std::map<std::string, int64_t> cutsByColumn;
};

// One provider file with its column map and the staging table's fields (as the database
// describes them). transactions: the type code filter applies, and the ids must be unique.
struct ProviderFileSpec {
  std::string path;
  std::vector<std::string> map;
  std::vector<kx::ImportField> fields;
  bool transactions = false;
};

// Reads the file with the import's own importer (the same splitting, trimming and conversions),
// nothing stored, and records every finding. Raises kx::Error when the file or map is unusable.
ProviderFileReport AnalyzeProviderFile(const ProviderFileSpec& spec, const kx::FormatSettings& formats);

// The findings on the terminal, at most maxPerKind lines of each kind with the count of the rest,
// then the counts.
void PrintDataReport(const std::vector<ProviderFileReport>& reports, Language language,
                     std::size_t maxPerKind, std::ostream& out);
// Every finding as JSON, texts in UTF-8.
void WriteDataReportJson(const std::vector<ProviderFileReport>& reports, std::ostream& out);

// A file readable by its owner only, opened for writing from its start: the report quotes
// customer records.
std::ofstream OpenPrivateOutput(const std::string& path);
// The report on out in the environment's language and, when jsonPath is set, as JSON there.
void WriteDataReport(const std::vector<ProviderFileReport>& reports, std::size_t maxPerKind,
                     std::ostream& out, const std::string& jsonPath);

}  // namespace kximport
