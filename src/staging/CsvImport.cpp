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

std::vector<TCsvImport::MapEntry> TCsvImport::CheckAndBuildMap() const {
  if (FileName.empty()) throw Error("File name is not specified");
  if (!std::filesystem::exists(FileName)) throw Error("File " + FileName + " does not exist");
  // A blank line is a line like any other: it names no column and fails the check below, rather
  // than move the entries after it (the row filter reads the sixth by its place).
  const std::vector<ColumnMapEntry> map = ReadColumnMap(Map, target_.Fields());
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
  if (!lineCount_) lineCount_ = CountLines(FileName);
  return *lineCount_;
}

std::string TCsvImport::TimeStamp() {
  const DateTime now = clock_.Now();
  return FormatDateTime(Formats.Regional.ShortDateFormat, now) + " " +
         FormatDateTime(Formats.Regional.ShortTimeFormat, now);
}

void TCsvImport::Execute() {
  const std::vector<MapEntry> entries = CheckAndBuildMap();
  processed_ = 0;
  errors_.clear();
  pending_.clear();
  row_.clear();
  for (const MapEntry& e : entries) row_.emplace_back(target_.Fields()[e.field].Name, std::string());

  std::optional<ErrorLogFile> log;
  if (ErrorLog && !ErrorLogFileName.empty()) {
    log.emplace(ErrorLogFileName);
    log->Write(TimeStamp() + " - Import process started" + LineBreakChars + LineBreakChars);
  }

  numbers_.emplace(Formats.Regional);

  LineReader lines(FileName);
  lineCount_.reset();
  std::vector<std::string_view> fields;
  std::string unquoted;
  std::size_t fieldLimit = 1;
  for (const MapEntry& e : entries) fieldLimit = std::max(fieldLimit, e.position);
  int skipped = 0;
  lineNumber_ = 0;
  std::string_view line;
  while (lines.Next(line)) {
    ++lineNumber_;
    // A zero byte is a control byte like the others (trimmed at a field's edges, dropped from
    // the document); the log says where one was, because it is rarely meant.
    if (log && line.find('\0') != std::string_view::npos) {
      log->Write(TimeStamp() + " - line " + std::to_string(lineNumber_) + ": zero byte" + LineBreakChars);
    }
    if (skipped < SkipFirstRows) {
      ++skipped;
      continue;
    }
    if (IsBlank(line)) continue;
    SplitInto(line, Comma, Quote, fieldLimit, fields, unquoted);
    ReadRecord(entries, fields);
    if (ImportRecCount > 0) target_.Flush();
    Settle(log ? &*log : nullptr);
    if (ImportRecCount > 0 && (processed_ + ErrorCount()) % ImportRecCount == 0) break;
  }
  target_.Flush();
  Settle(log ? &*log : nullptr);

  if (log) {
    if (!errors_.empty()) log->Write(LineBreakChars);
    log->Write(TimeStamp() + " - Import process finished" + LineBreakChars);
    log->Write(errors_.empty() ? std::string("No error found")
                               : std::to_string(errors_.size()) + " error(s) found");
    log->Write(LineBreakChars + LineBreakChars);
  }
}

void TCsvImport::ReadRecord(const std::vector<MapEntry>& entries,
                            const std::vector<std::string_view>& fields) {
  try {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::size_t p = entries[i].position;
      row_[i].second.assign(p >= 1 && p <= fields.size() ? TrimControl(fields[p - 1]) : std::string_view());
    }
    bool accept = true;
    if (OnBeforePost) OnBeforePost(row_, accept);
    if (accept) {
      target_.BeginRow();
      for (std::size_t i = 0; i < entries.size(); ++i) AssignValue(entries[i], row_[i].second);
      target_.Post();
    }
    pending_.push_back({accept && target_.Defers(), std::nullopt});
  } catch (const std::exception& e) {
    target_.Cancel();
    pending_.push_back({false, std::string(e.what())});
  }
}

void TCsvImport::Settle(ErrorLogFile* log) {
  while (!pending_.empty()) {
    PendingRecord& record = pending_.front();
    if (record.awaitsTarget) {
      const std::optional<PostedRow> outcome = target_.TakeOutcome();
      if (!outcome) return;
      if (!outcome->inserted) record.error = outcome->error;
    }
    std::optional<std::string> error = std::move(record.error);
    pending_.pop_front();
    if (!error) {
      // Counted and reported only after the record went through without an error.
      ++processed_;
      try {
        if (OnImportRecord) OnImportRecord();
      } catch (const std::exception& e) {
        error = e.what();
      }
    }
    if (error) {
      errors_.push_back(TimeStamp() + " - " + *error);
      if (log) log->Write(errors_.back() + LineBreakChars);
    }
  }
}

void TCsvImport::AssignValue(const MapEntry& entry, std::string_view value) {
  // A row's fields start as NULL; a column named again starts afresh, so that its later "Null"
  // or failed conversion leaves it NULL rather than with the earlier entry's value.
  if (entry.repeated) target_.SetNull(entry.field);
  if (value == Formats.NullText) return;
  const ImportField& field = target_.Fields()[entry.field];
  switch (field.Type) {
    case ImportField::Kind::Text:
      target_.SetText(entry.field, field.Length > 0 && value.size() > field.Length
                                       ? value.substr(0, field.Length)
                                       : value);
      return;
    case ImportField::Kind::SmallInt:
    case ImportField::Kind::Integer:
      AssignWholeNumber(entry, value);
      return;
    case ImportField::Kind::Double:
      AssignFloat(entry, value);
      return;
    case ImportField::Kind::Other:
      return;
  }
}

void TCsvImport::AssignWholeNumber(const MapEntry& entry, std::string_view value) {
  const RegionalNumberReader::Whole whole = numbers_->WholeNumber(value);
  if (whole.outcome == RegionalNumberReader::Outcome::OutOfRange) {
    throw Error("Value " + std::string(value) + " is out of range for " + target_.Fields()[entry.field].Name);
  }
  if (whole.outcome == RegionalNumberReader::Outcome::Number) {
    target_.SetInt(entry.field, whole.value);
  } else if (EqualsIgnoreCase1252(value, Formats.TrueText)) {
    target_.SetInt(entry.field, 1);
  } else if (EqualsIgnoreCase1252(value, Formats.FalseText)) {
    target_.SetInt(entry.field, 0);
  }
}

void TCsvImport::AssignFloat(const MapEntry& entry, std::string_view value) {
  if (const std::optional<double> number = numbers_->Decimal(value)) target_.SetDouble(entry.field, *number);
}

}  // namespace kx
