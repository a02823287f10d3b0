#include "kximport/DataReport.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "platform/FileSystem.h"
#include "platform/SystemClock.h"
#include "staging/ColumnMap.h"
#include "staging/CsvImport.h"
#include "staging/ImpApi_Korvalix_XMLgen_Maps.h"
#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace kximport {
namespace {

using Kind = DataFinding::Kind;

// The map's entries as the importer reads them: the field each names (fields.size() when none) and
// its place in a record.
struct Entry {
  std::size_t field;
  std::size_t position;
  bool last;  // no later entry names the same field: its value is the one that counts
};

std::vector<Entry> EntriesOf(const ProviderFileSpec& spec) {
  std::vector<Entry> entries;
  for (const kx::ColumnMapEntry& e : kx::ReadColumnMap(spec.map, spec.fields))
    entries.push_back({e.field.value_or(spec.fields.size()), e.Column(), e.last});
  return entries;
}

std::string TypeName(const kx::ImportField& field) {
  switch (field.Type) {
    case kx::ImportField::Kind::Text:
      return "VARCHAR(" + std::to_string(field.Length) + ")";
    case kx::ImportField::Kind::SmallInt:
      return "SMALLINT";
    case kx::ImportField::Kind::Integer:
      return "INTEGER";
    case kx::ImportField::Kind::Double:
      return "DOUBLE PRECISION";
    default:
      return "?";
  }
}

class NoClock final : public kx::SystemClock {
 public:
  kx::DateTime Today() override { return 0; }
  kx::DateTime Now() override { return 0; }
  void Sleep(uint32_t /*milliseconds*/) override {}
  void PumpMessages() override {}
};

// Takes the rows the importer would insert and compares each field's value with the text it came
// from: a text that reached no cell became NULL, a longer text than its column was cut.
class RecordingTarget final : public kx::ImportTarget {
 public:
  RecordingTarget(const ProviderFileSpec& spec, ProviderFileReport& report)
      : spec_(spec), entries_(EntriesOf(spec)), report_(report) {
    for (std::size_t i = 0; i < spec.fields.size(); ++i) {
      if (kx::EqualsIgnoreCase1252(spec.fields[i].Name, "TRAID")) idField_ = i;
    }
  }

  // Called before the row is built: the record's texts, in the order of the map, kept until the
  // batch with its row comes.
  void Observe(const kx::ImportRow& row, int64_t line) { texts_[line] = row; }

  const std::vector<kx::ImportField>& Fields() const override { return spec_.fields; }
  std::vector<kx::RowOutcome> Insert(const kx::RowBatch& batch) override;

 private:
  void Compare(const kx::RowBatch& batch, std::size_t row, const kx::ImportRow& texts);

  const ProviderFileSpec& spec_;
  std::vector<Entry> entries_;
  ProviderFileReport& report_;
  std::unordered_map<int64_t, kx::ImportRow> texts_;  // by line, records not yet inserted
  std::optional<std::size_t> idField_;
  std::unordered_map<std::string, int64_t> idLines_;  // each stored id and its first line
};

std::vector<kx::RowOutcome> RecordingTarget::Insert(const kx::RowBatch& batch) {
  for (std::size_t row = 0; row < batch.Rows(); ++row) {
    const auto texts = texts_.find(batch.Line(row));
    if (texts != texts_.end()) Compare(batch, row, texts->second);
  }
  texts_.clear();  // those of records whose row failed, too: each batch brings all it read
  return std::vector<kx::RowOutcome>(batch.Rows());
}

void RecordingTarget::Compare(const kx::RowBatch& batch, std::size_t row, const kx::ImportRow& texts) {
  const int64_t line = batch.Line(row);
  bool duplicate = false;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (!entry.last || entry.field >= spec_.fields.size()) continue;
    const kx::ImportField& field = spec_.fields[entry.field];
    const std::string& raw = texts[i].second;
    if (raw.empty() || raw == "Null") continue;  // NULL by intent
    if (batch.At(row, entry.field).kind == kx::RowBatch::Kind::Null) {
      report_.findings.push_back({Kind::NullValue, line, field.Name, entry.position, raw, TypeName(field)});
      ++report_.nullsByColumn[field.Name];
      continue;
    }
    const bool cut =
        field.Type == kx::ImportField::Kind::Text && field.Length > 0 && raw.size() > field.Length;
    if (cut) {
      report_.findings.push_back(
          {Kind::Cut, line, field.Name, entry.position, raw, std::to_string(field.Length)});
      ++report_.cutsByColumn[field.Name];
    }
    if (spec_.transactions && idField_ && entry.field == *idField_) {
      const std::string kept = cut ? raw.substr(0, field.Length) : raw;
      const auto [at, inserted] = idLines_.emplace(kept, line);
      if (!inserted) {
        report_.findings.push_back({Kind::DuplicateId, line, field.Name, entry.position, raw,
                                    std::to_string(at->second) + (kept != raw ? " (" + kept + ")" : "")});
        duplicate = true;
      }
    }
  }
  if (duplicate) {
    ++report_.refused;  // the database's unique key refuses the row
  } else {
    ++report_.stored;
  }
}

// What the record cycle does not show, from the importer's lines: the header, zero bytes and
// short records. The findings are kept apart and follow the importer's at the same line.
class LineScan {
 public:
  explicit LineScan(const ProviderFileSpec& spec) : spec_(spec), entries_(EntriesOf(spec)) {
    for (const Entry& e : entries_) needed_ = std::max(needed_, e.position);
  }

  void Read(int64_t number, std::string_view line, kx::TCsvImport::LineKind kind, std::size_t fields) {
    if (line.find('\0') != std::string_view::npos)
      findings_.push_back({Kind::ZeroByte, number, {}, 0, {}, {}});
    if (kind == kx::TCsvImport::LineKind::Skipped && number == 1) CheckHeader(line);
    if (kind != kx::TCsvImport::LineKind::Record) return;
    ++records_;
    if (fields < needed_) {
      findings_.push_back({Kind::TooFewFields, number, {}, fields, {}, std::to_string(needed_)});
    }
  }

  void AddTo(ProviderFileReport& report) const {
    report.records += records_;
    report.findings.insert(report.findings.end(), findings_.begin(), findings_.end());
  }

 private:
  void CheckHeader(std::string_view line) {
    const std::vector<std::string> fields = kx::SplitDelimitedLine(line, ';', '"');
    for (const Entry& entry : entries_) {
      const std::string& name = spec_.fields.at(entry.field).Name;
      const std::size_t p = entry.position;
      const std::string header =
          p >= 1 && p <= fields.size() ? std::string(kx::TrimControl(fields[p - 1])) : "";
      if (!kx::EqualsIgnoreCase1252(header, name))
        findings_.push_back({Kind::Header, 1, name, p, header, {}});
    }
  }

  const ProviderFileSpec& spec_;
  std::vector<Entry> entries_;
  std::size_t needed_ = 0;
  int64_t records_ = 0;
  std::vector<DataFinding> findings_;
};

}  // namespace

ProviderFileReport AnalyzeProviderFile(const ProviderFileSpec& spec, const kx::FormatSettings& formats) {
  ProviderFileReport report;
  report.path = spec.path;
  RecordingTarget target(spec, report);
  NoClock clock;
  kx::TCsvImportSettings settings;
  settings.FileName = spec.path;
  settings.Map = spec.map;
  settings.ErrorLog = false;
  settings.Formats.Regional = formats;
  kx::TCsvImport::TEvents events;
  events.OnBeforePost = [&](const kx::TCsvImport& importer, const kx::ImportRow& row, bool& accept) {
    accept = !spec.transactions || kx::HasLoadedTypeCode(row);
    if (accept) {
      target.Observe(row, importer.CurrentLine());
    } else {
      ++report.leftOut;
      report.findings.push_back({Kind::LeftOut,
                                 importer.CurrentLine(),
                                 row.size() > kx::kTypeCodeEntry ? row[kx::kTypeCodeEntry].first : "",
                                 6,
                                 row.size() > kx::kTypeCodeEntry ? row[kx::kTypeCodeEntry].second : "",
                                 {}});
    }
  };
  LineScan scan(spec);
  events.OnReadLine = [&scan](const kx::TCsvImport& importer, std::string_view line,
                              kx::TCsvImport::LineKind kind,
                              std::size_t fields) { scan.Read(importer.CurrentLine(), line, kind, fields); };
  kx::TCsvImport importer(target, clock, std::move(settings), std::move(events));
  importer.Execute();
  scan.AddTo(report);
  const std::vector<std::string>& errors = importer.ErrorTexts();
  for (std::size_t i = 0; i < errors.size(); ++i) {
    const std::string& text = errors[i];
    const std::size_t dash = text.find(" - ");
    report.findings.push_back({Kind::Refused,
                               importer.ErrorLines()[i],
                               {},
                               0,
                               {},
                               dash == std::string::npos ? text : text.substr(dash + 3)});
  }
  report.refused += static_cast<int64_t>(errors.size());
  std::stable_sort(report.findings.begin(), report.findings.end(),
                   [](const DataFinding& a, const DataFinding& b) { return a.line < b.line; });
  return report;
}

namespace {

struct KindText {
  Kind kind;
  const char* german;
  const char* english;
};
constexpr std::array<KindText, 8> kKinds = {
    KindText{Kind::Header, "Kopfzeile passt nicht zur Spaltenzuordnung",
             "header does not fit the column map"},
    KindText{Kind::ZeroByte, "Nullbytes", "zero bytes"},
    KindText{Kind::TooFewFields, "Datensätze mit zu wenigen Feldern", "records with too few fields"},
    KindText{Kind::NullValue, "Werte, die NULL werden (nicht umwandelbar)",
             "values that become NULL (no conversion)"},
    KindText{Kind::Cut, "Texte, auf ihre Spalte gekürzt", "texts cut to their column"},
    KindText{Kind::LeftOut, "Transaktionen, nach ihrer Art ausgelassen",
             "transactions left out by their type code"},
    KindText{Kind::DuplicateId, "wiederholte Transaktions-IDs", "repeated transaction ids"},
    KindText{Kind::Refused, "abgewiesene Datensätze", "refused records"}};

std::string U(std::string_view cp1252) { return kx::Cp1252ToUtf8(cp1252); }

std::string Describe(const DataFinding& f, Language language) {
  const bool de = language == Language::German;
  std::string line = (de ? "Zeile " : "line ") + std::to_string(f.line);
  const std::string place = f.column + " (" + (de ? "Feld " : "field ") + std::to_string(f.position) +
                            (f.detail.empty() || f.kind != Kind::NullValue ? "" : ", " + f.detail) + ")";
  switch (f.kind) {
    case Kind::Header:
      return (de ? "Feld " : "field ") + std::to_string(f.position) + ": \"" + U(f.raw) + "\"" +
             (de ? " statt " : " instead of ") + f.column;
    case Kind::ZeroByte:
      return line;
    case Kind::TooFewFields:
      return line + ": " + std::to_string(f.position) + (de ? " von " : " of ") + f.detail +
             (de ? " Feldern" : " fields");
    case Kind::NullValue:
      return line + ", " + place + ": \"" + U(f.raw) + "\"";
    case Kind::Cut:
      return line + ", " + place + ": " + std::to_string(f.raw.size()) + (de ? " Bytes, " : " bytes, ") +
             f.detail + (de ? " behalten" : " kept");
    case Kind::LeftOut:
      return line + ": " + f.column + " \"" + U(f.raw) + "\"";
    case Kind::DuplicateId:
      return line + ": " + f.column + " \"" + U(f.raw) + "\"" + (de ? " wie Zeile " : " as line ") +
             U(f.detail);
    case Kind::Refused:
      return line + ": " + U(f.detail);
  }
  return line;
}

std::string Json(std::string_view cp1252) {
  std::string out = "\"";
  for (const char c : kx::Cp1252ToUtf8(cp1252)) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::NullValue:
      return "null-value";
    case Kind::Cut:
      return "cut";
    case Kind::LeftOut:
      return "left-out";
    case Kind::TooFewFields:
      return "too-few-fields";
    case Kind::DuplicateId:
      return "duplicate-id";
    case Kind::Header:
      return "header";
    case Kind::ZeroByte:
      return "zero-byte";
    case Kind::Refused:
      return "refused";
  }
  return "?";
}

}  // namespace

void PrintDataReport(const std::vector<ProviderFileReport>& reports, Language language,
                     std::size_t maxPerKind, std::ostream& out) {
  const bool de = language == Language::German;
  for (const ProviderFileReport& report : reports) {
    out << report.path << "\n";
    for (const KindText& kind : kKinds) {
      std::size_t count = 0;
      for (const DataFinding& f : report.findings) count += f.kind == kind.kind ? 1 : 0;
      if (count == 0) continue;
      out << "  \u26A0 " << (de ? kind.german : kind.english) << ": " << count << "\n";
      std::size_t shown = 0;
      for (const DataFinding& f : report.findings) {
        if (f.kind != kind.kind || shown++ >= maxPerKind) continue;
        out << "      " << Describe(f, language) << "\n";
      }
      if (count > maxPerKind) {
        out << "      " << (de ? "... und " : "... and ") << count - maxPerKind << (de ? " weitere" : " more")
            << "\n";
      }
    }
    out << "  " << (de ? "Datensätze " : "records ") << report.records
        << (de ? ", gespeichert " : ", stored ") << report.stored << (de ? ", abgewiesen " : ", refused ")
        << report.refused << (de ? ", ausgelassen " : ", left out ") << report.leftOut << "\n";
    for (const auto& [column, count] : report.nullsByColumn) {
      out << "    NULL " << column << ": " << count << "\n";
    }
    for (const auto& [column, count] : report.cutsByColumn) {
      out << (de ? "    gekürzt " : "    cut ") << column << ": " << count << "\n";
    }
  }
}

void WriteDataReportJson(const std::vector<ProviderFileReport>& reports, std::ostream& out) {
  out << "{\"files\": [";
  for (std::size_t r = 0; r < reports.size(); ++r) {
    const ProviderFileReport& report = reports[r];
    out << (r > 0 ? ",\n" : "\n") << "  {\"path\": " << Json(report.path)
        << ", \"records\": " << report.records << ", \"stored\": " << report.stored
        << ", \"refused\": " << report.refused << ", \"left_out\": " << report.leftOut << ", \"findings\": [";
    for (std::size_t i = 0; i < report.findings.size(); ++i) {
      const DataFinding& f = report.findings[i];
      out << (i > 0 ? ",\n" : "\n") << "    {\"kind\": \"" << KindName(f.kind) << "\", \"line\": " << f.line
          << ", \"column\": " << Json(f.column) << ", \"position\": " << f.position
          << ", \"raw\": " << Json(f.raw) << ", \"detail\": " << Json(f.detail) << "}";
    }
    out << "]}";
  }
  out << "\n]}\n";
}

std::ofstream OpenPrivateOutput(const std::string& path) {
  // A stream opened on an existing file keeps its rights, so the file is made private first.
  std::FILE* file = kx::OpenPrivateFile(path);
  if (file == nullptr) {
    throw std::runtime_error(
        kx::tools::Say("kann " + path + " nicht schreiben: ", "cannot write " + path + ": ") +
        std::strerror(errno));
  }
  std::fclose(file);
  return std::ofstream(path, std::ios::binary | std::ios::trunc);
}

void WriteDataReport(const std::vector<ProviderFileReport>& reports, std::size_t maxPerKind,
                     std::ostream& out, const std::string& jsonPath) {
  PrintDataReport(reports, LanguageFromEnvironment(), maxPerKind, out);
  if (jsonPath.empty()) return;
  std::ofstream json = OpenPrivateOutput(jsonPath);
  WriteDataReportJson(reports, json);
  if (!json)
    throw std::runtime_error(
        kx::tools::Say("kann " + jsonPath + " nicht schreiben", "cannot write " + jsonPath));
}

}  // namespace kximport
