#include "staging/CsvImport.h"

#include <algorithm>
#include <cfenv>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "platform/FileSystem.h"
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

void RemoveAll(std::string& text, char c) {
  if (c == '\0') return;
  text.erase(std::remove(text.begin(), text.end(), c), text.end());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDigitOrSign(char c) { return IsDigit(c) || c == '+' || c == '-'; }

// Nearly every number in the provider's files is plain: a sign at most, digits, and for a
// floating-point value one "." with digits after it. Such a text is read directly, without the
// copies of the general conversion, with the same result (the Plain... functions say when).

// At most 15 digits after an optional sign: a double holds them exactly, so the integer is what
// the decimal reading and its truncation give.
std::optional<int64_t> PlainWholeNumber(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  if (text.empty() || text.size() > 15) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

// Digits, optionally "." and digits, after an optional sign; the text std::from_chars reads (no
// "+"). The general conversion turns the "." into the decimal separator and reads it back as
// the same decimal point, when neither separator is a digit or a sign and they differ.
std::optional<std::string_view> PlainDecimal(std::string_view text) {
  const std::size_t start = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  std::size_t i = start;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == start) return std::nullopt;
  if (i < text.size()) {
    if (text[i] != '.') return std::nullopt;
    const std::size_t fraction = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    if (i == fraction || i != text.size()) return std::nullopt;
  }
  return text[0] == '+' ? text.substr(1) : text;
}

// The value of a plain decimal (PlainDecimal's result) with at most 15 significant digits and 22
// decimals, computed as mantissa / 10^decimals: both are doubles exactly, and one division in
// double precision rounding to nearest is the correctly rounded value, the one std::from_chars
// gives. Only where doubles are computed in their own precision (not on the x87 unit, whose
// wider intermediate would round twice) and while the rounding mode is to nearest (Execute
// checks it).
std::optional<double> ExactDecimal(std::string_view plain) {
#if FLT_EVAL_METHOD == 0
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const bool negative = plain.front() == '-';
  uint64_t mantissa = 0;
  int significant = 0;
  int decimals = 0;
  bool fraction = false;
  for (std::size_t i = negative ? 1 : 0; i < plain.size(); ++i) {
    const char c = plain[i];
    if (c == '.') {
      fraction = true;
      continue;
    }
    if (significant > 0 || c != '0') ++significant;
    if (significant > 15) return std::nullopt;
    mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
    if (fraction) ++decimals;
  }
  if (decimals > 22) return std::nullopt;
  const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
  return negative ? -value : value;
#else
  static_cast<void>(plain);
  return std::nullopt;
#endif
}

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
  std::vector<std::pair<std::string, std::string>> lines;
  for (const std::string& line : Map) {
    const std::size_t equals = line.find('=');
    lines.emplace_back(line.substr(0, equals),
                       equals == std::string::npos ? std::string() : line.substr(equals + 1));
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
    const bool repeated =
        std::any_of(entries.begin(), entries.end(), [index](const MapEntry& e) { return e.field == index; });
    entries.push_back({index, 0, repeated});
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::optional<int64_t> position =
        WholeNumberOf<int64_t>(TrimControl(lines[i].second), PlusSign::Allowed);
    if (!position) throw Error("Missing definition of map");
    entries[i].position = *position > 0 ? static_cast<std::size_t>(*position) : 0;
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

  const FormatSettings& regional = Formats.Regional;
  plainWholeNumbers_ = !IsDigitOrSign(regional.ThousandSeparator);
  exactDecimals_ = std::fegetround() == FE_TONEAREST;
  plainDecimals_ = plainWholeNumbers_ && regional.DecimalSeparator != '\0' &&
                   !IsDigitOrSign(regional.DecimalSeparator) &&
                   regional.DecimalSeparator != regional.ThousandSeparator;

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
  if (plainWholeNumbers_) {
    if (const std::optional<int64_t> plain = PlainWholeNumber(value)) {
      target_.SetInt(entry.field, *plain);
      return;
    }
  }
  const FormatSettings& regional = Formats.Regional;
  std::string number(value);
  RemoveAll(number, regional.ThousandSeparator);
  if (const std::optional<double> parsed = ParseDecimal(number, regional.DecimalSeparator)) {
    const double whole = std::trunc(*parsed);
    if (!(std::fabs(whole) < 9.2e18)) {
      throw Error("Value " + std::string(value) + " is out of range for " +
                  target_.Fields()[entry.field].Name);
    }
    target_.SetInt(entry.field, static_cast<int64_t>(whole));
  } else if (EqualsIgnoreCase1252(value, Formats.TrueText)) {
    target_.SetInt(entry.field, 1);
  } else if (EqualsIgnoreCase1252(value, Formats.FalseText)) {
    target_.SetInt(entry.field, 0);
  }
}

void TCsvImport::AssignFloat(const MapEntry& entry, std::string_view value) {
  if (plainDecimals_) {
    if (const std::optional<std::string_view> plain = PlainDecimal(value)) {
      if (exactDecimals_) {
        if (const std::optional<double> exact = ExactDecimal(*plain)) {
          target_.SetDouble(entry.field, *exact);
          return;
        }
      }
      double number = 0;
      const auto [ptr, ec] = std::from_chars(plain->data(), plain->data() + plain->size(), number);
      if (ec == std::errc() && ptr == plain->data() + plain->size()) target_.SetDouble(entry.field, number);
      return;
    }
  }
  const FormatSettings& regional = Formats.Regional;
  std::string number(value);
  if (const std::size_t dot = number.find('.'); dot != std::string::npos)
    number[dot] = regional.DecimalSeparator;
  RemoveAll(number, regional.ThousandSeparator);
  if (const std::optional<double> parsed = ParseDecimal(number, regional.DecimalSeparator)) {
    target_.SetDouble(entry.field, *parsed);
  }
}

}  // namespace kx
