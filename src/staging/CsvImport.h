#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "staging/ImportTarget.h"
#include "staging/RowBatch.h"
#include "util/RegionalNumberReader.h"

namespace kx {

// One record's values, in the order of the map: (field name, value text).
using ImportRow = std::vector<std::pair<std::string, std::string>>;

// Splits one line into fields: ";"-separated, a field that begins with the quote character is
// quoted (the separator is text inside it, a doubled quote stands for one, a single quote ends
// it and what follows up to the next separator is dropped).
std::vector<std::string> SplitDelimitedLine(std::string_view line, char comma, char quote);

// The settings of one importer; the map, the file and the log are set anew for every run.
struct TCsvImportSettings {
  enum class TAddType { Insert };

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

  // Rows handed to the target at a time (with ImportRecCount, one), and whether a thread of the
  // importer's inserts them while it reads the next: on two cores a large load then takes about
  // as long as its inserts alone.
  std::size_t BatchRows = 500;
  bool InsertOnWorker = false;
};

// Loads a delimited text file into an import target according to a column map (NAME=N lines).
class TCsvImport {
 public:
  enum class LineKind { Skipped, Blank, Record };
  // The record cycle's events; sender is the importer, whose counts they may read.
  struct TEvents {
    std::function<void(const TCsvImport& sender, const ImportRow& row, bool& accept)> OnBeforePost;
    std::function<void(const TCsvImport& sender)> OnImportRecord;
    // Every line as it is read, before anything else happens to it, for a report on the file:
    // for a record, the number of fields it splits into (at most as many as the map reads).
    std::function<void(const TCsvImport& sender, std::string_view line, LineKind kind, std::size_t fields)>
        OnReadLine;
  };

  TCsvImport(ImportTarget& target, SystemClock& clock, TCsvImportSettings settings, TEvents events = {})
      : target_(target), clock_(clock), settings_(std::move(settings)), events_(std::move(events)) {}

  // Runs one complete import of the settings' FileName. Raises an error for the checks before
  // reading (file name, file, map), an unreadable file, a log that cannot be created and what
  // ends the whole load in the target; a failing record is logged and skipped. Every row is
  // settled, and the worker gone, when it returns.
  void Execute();

  const TCsvImportSettings& Settings() const { return settings_; }
  // Records that went through the record cycle without an error (rejected ones included).
  int64_t ProcessedCount() const { return processed_; }
  int64_t ErrorCount() const { return static_cast<int64_t>(errors_.size()); }
  // The refused records' log lines ("time - message") and their lines in the file, in file order.
  const std::vector<std::string>& ErrorTexts() const { return errors_; }
  const std::vector<int64_t>& ErrorLines() const { return errorLines_; }
  // Lines of the source file, header and blank lines included. Counted by a pass of its own on
  // the first request, so that an importer nobody asks does not read its file twice.
  int64_t LineCount() const;
  // The number of the line being read (1-based), for the events of a record.
  int64_t CurrentLine() const { return lineNumber_; }

 private:
  struct MapEntry {
    std::size_t field;
    std::size_t position;  // 1-based
    bool repeated;         // an earlier entry names the same field
  };
  // A record read: a row of its batch that awaits the target's outcome, or already settled (an
  // error when error is set).
  struct Record {
    int64_t line;
    bool posted;
    std::optional<std::string> error;
  };
  // Records read and the rows they gave, on their way to the target.
  struct Batch {
    RowBatch rows;
    std::vector<Record> records;
  };
  struct InsertedBatch {
    Batch batch;
    std::vector<RowOutcome> outcomes;
  };
  class ErrorLogFile;
  class Sender;

  std::vector<MapEntry> CheckAndBuildMap() const;
  // Fills the record's row into the batch, or records why it failed.
  void ReadRecord(const std::vector<MapEntry>& entries, const std::vector<std::string_view>& fields,
                  Batch& batch);
  // Counts, reports and logs a batch's records, in file order.
  void Settle(const Batch& batch, const std::vector<RowOutcome>& outcomes, ErrorLogFile* log);
  void AssignValue(const MapEntry& entry, std::string_view value, RowBatch& rows);
  void AssignWholeNumber(const MapEntry& entry, std::string_view value, RowBatch& rows);
  void AssignFloat(const MapEntry& entry, std::string_view value, RowBatch& rows);
  std::string TimeStamp();

  ImportTarget& target_;
  SystemClock& clock_;
  const TCsvImportSettings settings_;
  const TEvents events_;
  ImportRow row_;
  int64_t processed_ = 0;
  int64_t lineNumber_ = 0;
  mutable std::optional<int64_t> lineCount_;
  // The numbers in the forms of Formats.Regional, as they are when Execute starts.
  std::optional<RegionalNumberReader> numbers_;
  std::vector<std::string> errors_;
  std::vector<int64_t> errorLines_;
};

}  // namespace kx
