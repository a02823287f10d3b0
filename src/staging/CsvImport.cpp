#include "staging/CsvImport.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/FileSystem.h"
#include "staging/ColumnMap.h"
#include "util/Cp1252.h"
#include "util/Error.h"
#include "util/LineReader.h"
#include "util/RegionalFormats.h"
#include "util/WholeNumber.h"
#include "util/WorkerQueue.h"

namespace kx {
namespace {

// Splits into views of the line, at most limit fields (those after them are never read); the
// text of a quoted field, whose doubled quotes become one, goes into unquoted. That buffer is
// reserved for the whole line first, so it never moves while the views into it are in use.
void SplitInto(std::string_view line, char comma, char quote, std::size_t limit,
               std::vector<std::string_view>& fields, std::string& unquoted) {
  fields.clear();
  unquoted.clear();
  unquoted.reserve(line.size());
  const char* p = line.data();
  const char* const end = p + line.size();
  for (;;) {
    if (p < end && *p == quote) {
      ++p;
      const std::size_t start = unquoted.size();
      while (p < end) {
        const char* run = p;
        while (p < end && *p != quote) ++p;
        unquoted.append(run, static_cast<std::size_t>(p - run));
        if (p == end) break;
        if (p + 1 < end && p[1] == quote) {
          unquoted += quote;
          p += 2;
          continue;
        }
        ++p;
        break;
      }
      fields.emplace_back(unquoted.data() + start, unquoted.size() - start);
      // What stands between the closing quote and the next separator is dropped.
      while (p < end && *p != comma) ++p;
    } else {
      const char* const start = p;
      while (p < end && *p != comma) ++p;
      fields.emplace_back(start, static_cast<std::size_t>(p - start));
    }
    if (p == end || fields.size() == limit) break;
    ++p;
  }
}

bool IsBlank(std::string_view line) { return TrimControl(line).empty(); }

}  // namespace

// The log file of one import; every line is written as it happens.
class TCsvImport::ErrorLogFile {
 public:
  explicit ErrorLogFile(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
      std::error_code ignored;
      std::filesystem::create_directories(file.parent_path(), ignored);
    }
    // The log quotes customer records: readable by its owner only.
    out_.reset(OpenPrivateFile(path));
    if (!out_) throw FileError("Cannot create error log " + path, path);
  }
  void Write(std::string_view text) { std::fwrite(text.data(), 1, text.size(), out_.get()); }

 private:
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> out_;
};

std::vector<std::string> SplitDelimitedLine(std::string_view line, char comma, char quote) {
  std::vector<std::string_view> views;
  std::string unquoted;
  SplitInto(line, comma, quote, SIZE_MAX, views, unquoted);
  return std::vector<std::string>(views.begin(), views.end());
}

// Hands the batches to the target: at once, or to a worker thread that inserts one batch while the
// importer reads the next. Either way each batch is settled as a whole once its outcomes are in.
class TCsvImport::Sender {
 public:
  Sender(TCsvImport& importer, ErrorLogFile* log, bool onWorker) : importer_(importer), log_(log) {
    if (onWorker) {
      queue_.emplace(kBatchesAhead, [&target = importer.target_](Batch& batch) {
        std::vector<RowOutcome> outcomes = target.Insert(batch.rows);
        return InsertedBatch{std::move(batch), std::move(outcomes)};
      });
    }
  }

  // An empty batch, with the storage of one settled before.
  Batch Fresh() {
    if (spare_.empty()) return Batch{RowBatch(importer_.target_.Fields().size()), {}};
    Batch batch = std::move(spare_.back());
    spare_.pop_back();
    return batch;
  }

  void Send(Batch batch) {
    if (batch.records.empty()) return;
    if (!queue_) {
      const std::vector<RowOutcome> outcomes = importer_.target_.Insert(batch.rows);
      Settle(std::move(batch), outcomes);
      return;
    }
    if (std::optional<InsertedBatch> done = queue_->Put(std::move(batch))) Settle(std::move(done));
  }

  // Waits for every batch sent and settles it.
  void Finish() {
    if (!queue_) return;
    while (std::optional<InsertedBatch> done = queue_->Take()) Settle(std::move(done));
  }

 private:
  // Batches inserted or waiting, or inserted and not yet settled, while the importer fills the next.
  static constexpr std::size_t kBatchesAhead = 3;

  void Settle(std::optional<InsertedBatch> done) { Settle(std::move(done->batch), done->outcomes); }
  void Settle(Batch batch, const std::vector<RowOutcome>& outcomes) {
    importer_.Settle(batch, outcomes, log_);
    batch.rows.Clear();
    batch.records.clear();
    spare_.push_back(std::move(batch));
  }

  TCsvImport& importer_;
  ErrorLogFile* log_;
  std::vector<Batch> spare_;
  std::optional<WorkerQueue<Batch, InsertedBatch>> queue_;  // last: its worker goes first
};

std::vector<TCsvImport::MapEntry> TCsvImport::CheckAndBuildMap() const {
  if (settings_.FileName.empty()) throw Error("File name is not specified");
  if (!std::filesystem::exists(settings_.FileName))
    throw Error("File " + settings_.FileName + " does not exist");
  // A blank line is a line like any other: it names no column and fails the check below, rather
  // than move the entries after it (the row filter reads the sixth by its place).
  const std::vector<ColumnMapEntry> map = ReadColumnMap(settings_.Map, target_.Fields());
  if (map.empty()) throw Error("Map is empty");
  for (const ColumnMapEntry& e : map) {
    if (!e.field)
      throw Error("Column " + e.name + " is defined in the MAP is not found in the import destination");
  }
  std::vector<MapEntry> entries;
  for (const ColumnMapEntry& e : map) {
    if (!e.position) throw Error("Missing definition of map");
    entries.push_back({*e.field, e.Column(), e.repeated});
  }
  return entries;
}

int64_t TCsvImport::LineCount() const {
  if (!lineCount_) lineCount_ = CountLines(settings_.FileName);
  return *lineCount_;
}

std::string TCsvImport::TimeStamp() {
  const DateTime now = clock_.Now();
  return FormatDateTime(settings_.Formats.Regional.ShortDateFormat, now) + " " +
         FormatDateTime(settings_.Formats.Regional.ShortTimeFormat, now);
}

void TCsvImport::Execute() {
  const std::vector<MapEntry> entries = CheckAndBuildMap();
  const std::string& lineBreak = settings_.LineBreakChars;
  processed_ = 0;
  errors_.clear();
  errorLines_.clear();
  row_.clear();
  for (const MapEntry& e : entries) row_.emplace_back(target_.Fields()[e.field].Name, std::string());

  std::optional<ErrorLogFile> log;
  if (settings_.ErrorLog && !settings_.ErrorLogFileName.empty()) {
    log.emplace(settings_.ErrorLogFileName);
    log->Write(TimeStamp() + " - Import process started" + lineBreak + lineBreak);
  }

  numbers_.emplace(settings_.Formats.Regional);

  LineReader lines(settings_.FileName);
  lineCount_.reset();
  std::vector<std::string_view> fields;
  std::string unquoted;
  std::size_t fieldLimit = 1;
  for (const MapEntry& e : entries) fieldLimit = std::max(fieldLimit, e.position);
  // The stop rule counts settled records: with a record limit each record is settled at once.
  const int limit = settings_.ImportRecCount;
  const std::size_t batchRows = std::max<std::size_t>(settings_.BatchRows, 1);
  Sender sender(*this, log ? &*log : nullptr, settings_.InsertOnWorker && limit <= 0);
  Batch batch = sender.Fresh();
  int skipped = 0;
  int zeroByteLines = 0;
  lineNumber_ = 0;
  std::string_view line;
  while (lines.Next(line)) {
    ++lineNumber_;
    // A zero byte is a control byte like the others (trimmed at a field's edges, dropped from
    // the document); the log says where one was, because it is rarely meant.
    if (log && line.find('\0') != std::string_view::npos) {
      ++zeroByteLines;
      log->Write(TimeStamp() + " - line " + std::to_string(lineNumber_) + ": zero byte" + lineBreak);
    }
    if (skipped < settings_.SkipFirstRows) {
      ++skipped;
      if (events_.OnReadLine) events_.OnReadLine(*this, line, LineKind::Skipped, 0);
      continue;
    }
    if (IsBlank(line)) {
      if (events_.OnReadLine) events_.OnReadLine(*this, line, LineKind::Blank, 0);
      continue;
    }
    SplitInto(line, settings_.Comma, settings_.Quote, fieldLimit, fields, unquoted);
    if (events_.OnReadLine) events_.OnReadLine(*this, line, LineKind::Record, fields.size());
    ReadRecord(entries, fields, batch);
    // Records the filter keeps out give no row: they count too, so that a batch stays small.
    if (limit > 0 || batch.rows.Rows() >= batchRows || batch.records.size() >= 2 * batchRows) {
      sender.Send(std::move(batch));
      batch = sender.Fresh();
    }
    if (limit > 0 && (processed_ + ErrorCount()) % limit == 0) break;
  }
  sender.Send(std::move(batch));
  sender.Finish();

  if (log) {
    if (!errors_.empty()) log->Write(lineBreak);
    log->Write(TimeStamp() + " - Import process finished" + lineBreak);
    log->Write(errors_.empty() ? std::string("No error found")
                               : std::to_string(errors_.size()) + " error(s) found");
    // The zero-byte lines are notes, not errors: the closing line counts them too, so that it
    // does not deny what the log holds above it.
    if (zeroByteLines > 0) log->Write(", " + std::to_string(zeroByteLines) + " line(s) with a zero byte");
    log->Write(lineBreak + lineBreak);
  }
}

void TCsvImport::ReadRecord(const std::vector<MapEntry>& entries, const std::vector<std::string_view>& fields,
                            Batch& batch) {
  bool posted = false;
  try {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::size_t p = entries[i].position;
      row_[i].second.assign(p >= 1 && p <= fields.size() ? TrimControl(fields[p - 1]) : std::string_view());
    }
    bool accept = true;
    if (events_.OnBeforePost) events_.OnBeforePost(*this, row_, accept);
    if (accept) {
      batch.rows.BeginRow(lineNumber_);
      posted = true;
      for (std::size_t i = 0; i < entries.size(); ++i) AssignValue(entries[i], row_[i].second, batch.rows);
    }
    batch.records.push_back({lineNumber_, posted, std::nullopt});
  } catch (const std::exception& e) {
    if (posted) batch.rows.DropRow();
    batch.records.push_back({lineNumber_, false, std::string(e.what())});
  }
}

void TCsvImport::Settle(const Batch& batch, const std::vector<RowOutcome>& outcomes, ErrorLogFile* log) {
  std::size_t row = 0;
  for (const Record& record : batch.records) {
    std::optional<std::string> error = record.error;
    if (record.posted) {
      const RowOutcome& outcome = outcomes.at(row++);
      if (!outcome.inserted) error = outcome.error;
    }
    if (!error) {
      // Counted and reported only after the record went through without an error.
      ++processed_;
      try {
        if (events_.OnImportRecord) events_.OnImportRecord(*this);
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
    if (error) {
      errors_.push_back(TimeStamp() + " - " + *error);
      errorLines_.push_back(record.line);
      if (log) log->Write(errors_.back() + settings_.LineBreakChars);
    }
  }
}

void TCsvImport::AssignValue(const MapEntry& entry, std::string_view value, RowBatch& rows) {
  // A row's fields start as NULL; a column named again starts afresh, so that its later "Null"
  // or failed conversion leaves it NULL rather than with the earlier entry's value.
  if (entry.repeated) rows.SetNull(entry.field);
  if (value == settings_.Formats.NullText) return;
  const ImportField& field = target_.Fields()[entry.field];
  switch (field.Type) {
    case ImportField::Kind::Text:
      rows.SetText(entry.field,
                   field.Length > 0 && value.size() > field.Length ? value.substr(0, field.Length) : value);
      return;
    case ImportField::Kind::SmallInt:
    case ImportField::Kind::Integer:
      AssignWholeNumber(entry, value, rows);
      return;
    case ImportField::Kind::Double:
      AssignFloat(entry, value, rows);
      return;
    case ImportField::Kind::Other:
      return;
  }
}

void TCsvImport::AssignWholeNumber(const MapEntry& entry, std::string_view value, RowBatch& rows) {
  const RegionalNumberReader::Whole whole = numbers_->WholeNumber(value);
  if (whole.outcome == RegionalNumberReader::Outcome::OutOfRange) {
    throw Error("Value " + std::string(value) + " is out of range for " + target_.Fields()[entry.field].Name);
  }
  if (whole.outcome == RegionalNumberReader::Outcome::Number) {
    rows.SetInt(entry.field, whole.value);
  } else if (EqualsIgnoreCase1252(value, settings_.Formats.TrueText)) {
    rows.SetInt(entry.field, 1);
  } else if (EqualsIgnoreCase1252(value, settings_.Formats.FalseText)) {
    rows.SetInt(entry.field, 0);
  }
}

void TCsvImport::AssignFloat(const MapEntry& entry, std::string_view value, RowBatch& rows) {
  if (const std::optional<double> number = numbers_->Decimal(value)) rows.SetDouble(entry.field, *number);
}

}  // namespace kx
