#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "staging/ImportTarget.h"
#include "util/RegionalNumberReader.h"

namespace kx {

// One record's values, in the order of the map: (field name, value text).
using ImportRow = std::vector<std::pair<std::string, std::string>>;

// Splits one line into fields: ";"-separated, a field that begins with the quote character is
// quoted (the separator is text inside it, a doubled quote stands for one, a single quote ends
// it and what follows up to the next separator is dropped).
std::vector<std::string> SplitDelimitedLine(std::string_view line, char comma, char quote);

// Loads a delimited text file into an import target according to a column map (NAME=N lines).
class TCsvImport {
 public:
  enum class TAddType { Insert };

  TCsvImport(ImportTarget& target, SystemClock& clock) : target_(target), clock_(clock) {}

  // Runs one complete import of FileName. Raises an error for the checks before reading (file
  // name, file, map), an unreadable file and a log that cannot be created; a failing record is
  // logged and skipped.
  void Execute();

  // Records that went through the record cycle without an error (rejected ones included).
  int64_t ProcessedCount() const { return processed_; }
  int64_t ErrorCount() const { return static_cast<int64_t>(errors_.size()); }
  // The refused records' log lines ("time - message"), in file order.
  const std::vector<std::string>& ErrorTexts() const { return errors_; }
  // Lines of the source file, header and blank lines included. Counted by a pass of its own on
  // the first request, so that an importer nobody asks does not read its file twice.
  int64_t LineCount() const;
  // The number of the line being read (1-based), for the callbacks of a record.
  int64_t CurrentLine() const { return lineNumber_; }

  std::string FileName;
  std::vector<std::string> Map;
  char Comma = ';';
  char Quote = '"';
  int SkipFirstRows = 1;
  int ImportRecCount = 0;
  bool ErrorLog = true;
  std::string ErrorLogFileName;
  std::string LineBreakChars = "\r\n";
  TAddType AddType = TAddType::Insert;

  struct TFormats {
    std::string NullText = "Null";
    std::string TrueText = "True";
    std::string FalseText = "False";
    FormatSettings Regional;
  } Formats;

  std::function<void(const ImportRow& row, bool& accept)> OnBeforePost;
  std::function<void()> OnImportRecord;

 private:
  struct MapEntry {
    std::size_t field;
    std::size_t position;  // 1-based
    bool repeated;         // an earlier entry names the same field
  };

  // A record read but not yet counted: it waits for the target's outcome of its row, or is
  // settled (an error when error is set).
  struct PendingRecord {
    bool awaitsTarget;
    std::optional<std::string> error;
  };
  class ErrorLogFile;

  std::vector<MapEntry> CheckAndBuildMap() const;
  // Fills the row and posts it, or records why it failed.
  void ReadRecord(const std::vector<MapEntry>& entries, const std::vector<std::string_view>& fields);
  // Counts, reports and logs the records whose fate is known, in file order.
  void Settle(ErrorLogFile* log);
  void AssignValue(const MapEntry& entry, std::string_view value);
  void AssignWholeNumber(const MapEntry& entry, std::string_view value);
  void AssignFloat(const MapEntry& entry, std::string_view value);
  std::string TimeStamp();

  ImportTarget& target_;
  SystemClock& clock_;
  ImportRow row_;
  int64_t processed_ = 0;
  int64_t lineNumber_ = 0;
  mutable std::optional<int64_t> lineCount_;
  // The numbers in the forms of Formats.Regional, as they are when Execute starts.
  std::optional<RegionalNumberReader> numbers_;
  std::vector<std::string> errors_;
  std::deque<PendingRecord> pending_;
};

}  // namespace kx
