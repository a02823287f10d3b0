#include "staging/CsvImport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>

#include "frame/AtomicFile.h"
#include "frame/Cp1252.h"
#include "frame/Error.h"
#include "frame/RegionalFormats.h"

namespace kx {
namespace {

// Splits into reusable field strings (the vector keeps its capacity from line to line).
void SplitInto(std::string_view line, char comma, char quote, std::vector<std::string>& fields) {
  std::size_t count = 0;
  auto next = [&]() -> std::string& {
    if (count == fields.size()) fields.emplace_back();
    std::string& field = fields[count++];
    field.clear();
    return field;
  };
  std::size_t pos = 0;
  for (;;) {
    std::string& field = next();
    if (pos < line.size() && line[pos] == quote) {
      ++pos;
      while (pos < line.size()) {
        if (line[pos] == quote) {
          if (pos + 1 < line.size() && line[pos + 1] == quote) {
            field += quote;
            pos += 2;
            continue;
          }
          ++pos;
          break;
        }
        field += line[pos++];
      }
      // What stands between the closing quote and the next separator is dropped.
      const std::size_t separator = line.find(comma, pos);
      if (separator == std::string_view::npos) break;
      pos = separator + 1;
    } else {
      const std::size_t separator = line.find(comma, pos);
      const std::size_t end = separator == std::string_view::npos ? line.size() : separator;
      field.assign(line.substr(pos, end - pos));
      if (separator == std::string_view::npos) break;
      pos = separator + 1;
    }
  }
  fields.resize(count);
}

// The lines of a text: a line ends at CR LF, LF or CR; a zero byte ends the text.
std::vector<std::string_view> SplitLines(std::string_view text) {
  if (const std::size_t zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
  std::vector<std::string_view> lines;
  lines.reserve(text.size() / 64 + 1);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

bool IsBlank(std::string_view line) { return TrimControl(line).empty(); }

std::optional<int64_t> WholeNumber(std::string_view text) {
  text = TrimControl(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

void RemoveAll(std::string& text, char c) {
  if (c == '\0') return;
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
}

// The log file of one import; every line is written as it happens.
class ErrorLogFile {
 public:
  explicit ErrorLogFile(const std::string& path) {
    const std::filesystem::path file(path);
    if (file.has_parent_path()) {
      std::error_code ignored;
      std::filesystem::create_directories(file.parent_path(), ignored);
    }
    out_.open(path, std::ios::binary | std::ios::trunc);
    if (!out_) throw FileError("Cannot create error log " + path, path);
  }
  void Write(std::string_view text) { out_.write(text.data(), static_cast<std::streamsize>(text.size())); }

 private:
  std::ofstream out_;
};

}  // namespace

std::vector<std::string> SplitDelimitedLine(std::string_view line, char comma, char quote) {
  std::vector<std::string> fields;
  SplitInto(line, comma, quote, fields);
  return fields;
}

std::vector<TCsvImport::MapEntry> TCsvImport::CheckAndBuildMap() const {
  if (FileName.empty()) throw Error("File name is not specified");
  if (!std::filesystem::exists(FileName)) throw Error("File " + FileName + " does not exist");
  std::vector<std::pair<std::string, std::string>> lines;
  for (const std::string& line : Map) {
    if (IsBlank(line)) continue;
    const std::size_t equals = line.find('=');
    lines.emplace_back(line.substr(0, equals), equals == std::string::npos ? std::string() : line.substr(equals + 1));
  }
  if (lines.empty()) throw Error("Map is empty");

  const std::vector<ImportField>& fields = target_.Fields();
  std::vector<MapEntry> entries;
  for (const auto& [name, position] : lines) {
    std::size_t index = 0;
    while (index < fields.size() && !EqualsIgnoreCase1252(fields[index].Name, name)) ++index;
    if (index == fields.size()) {
      throw Error("Column " + name + " is defined in the MAP is not found in the import destination");
    }
    entries.push_back({index, 0});
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<int64_t> position = WholeNumber(lines[i].second);
    if (!position) throw Error("Missing definition of map");
    entries[i].position = *position > 0 ? static_cast<std::size_t>(*position) : 0;
  }
  return entries;
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
  row_.clear();
  for (const MapEntry& e : entries) row_.emplace_back(target_.Fields()[e.field].Name, std::string());

  std::optional<ErrorLogFile> log;
  if (ErrorLog && !ErrorLogFileName.empty()) {
    log.emplace(ErrorLogFileName);
    log->Write(TimeStamp() + " - Import process started" + LineBreakChars + LineBreakChars);
  }

  const std::string text = ReadWholeFile(FileName);
  const std::vector<std::string_view> lines = SplitLines(text);
  lineCount_ = static_cast<int64_t>(lines.size());
  std::vector<std::string> fields;
  int skipped = 0;
  for (std::string_view line : lines) {
    if (skipped < SkipFirstRows) {
      ++skipped;
      continue;
    }
    if (IsBlank(line)) continue;
    SplitInto(line, Comma, Quote, fields);
    try {
      ProcessRecord(entries, fields);
    } catch (const std::exception& e) {
      target_.Cancel();
      errors_.push_back(TimeStamp() + " - " + e.what());
      if (log) log->Write(errors_.back() + LineBreakChars);
    }
    if (ImportRecCount > 0 && (processed_ + ErrorCount()) % ImportRecCount == 0) break;
  }

  if (log) {
    if (!errors_.empty()) log->Write(LineBreakChars);
    log->Write(TimeStamp() + " - Import process finished" + LineBreakChars);
    log->Write(errors_.empty() ? std::string("No error found") : std::to_string(errors_.size()) + " error(s) found");
    log->Write(LineBreakChars + LineBreakChars);
  }
}

void TCsvImport::ProcessRecord(const std::vector<MapEntry>& entries, const std::vector<std::string>& fields) {
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
  // Counted and reported only after the record went through without an error.
  ++processed_;
  if (OnImportRecord) OnImportRecord();
}

void TCsvImport::AssignValue(const MapEntry& entry, const std::string& value) {
  if (value == Formats.NullText) return;  // the row's fields start as NULL
  const ImportField& field = target_.Fields()[entry.field];
  const FormatSettings& regional = Formats.Regional;
  switch (field.Type) {
    case ImportField::Kind::Text:
      target_.SetText(entry.field,
                      field.Length > 0 && value.size() > field.Length ? std::string_view(value).substr(0, field.Length)
                                                                      : std::string_view(value));
      return;
    case ImportField::Kind::SmallInt:
    case ImportField::Kind::Integer: {
      std::string number = value;
      RemoveAll(number, regional.ThousandSeparator);
      if (const std::optional<double> parsed = ParseDecimal(number, regional.DecimalSeparator)) {
        const double whole = std::trunc(*parsed);
        if (!(std::fabs(whole) < 9.2e18)) throw Error("Value " + value + " is out of range for " + field.Name);
        target_.SetInt(entry.field, static_cast<int64_t>(whole));
      } else if (EqualsIgnoreCase1252(value, Formats.TrueText)) {
        target_.SetInt(entry.field, 1);
      } else if (EqualsIgnoreCase1252(value, Formats.FalseText)) {
        target_.SetInt(entry.field, 0);
      }
      return;
    }
    case ImportField::Kind::Double: {
      std::string number = value;
      if (const std::size_t dot = number.find('.'); dot != std::string::npos) number[dot] = regional.DecimalSeparator;
      RemoveAll(number, regional.ThousandSeparator);
      if (const std::optional<double> parsed = ParseDecimal(number, regional.DecimalSeparator)) {
        target_.SetDouble(entry.field, *parsed);
      }
      return;
    }
    case ImportField::Kind::Other:
      return;
  }
}

}  // namespace kx
