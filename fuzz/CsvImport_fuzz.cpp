// The delimited-text importer over a file made of the input (after two bytes that choose the
// settings, among them small batches through the importer's worker): no crash, no text longer
// than its column and no non-finite double reaching the target, one processed record per inserted
// row; and SplitDelimitedLine on the first line, which
// without quotes must give the fields that joined are the line.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "staging/CsvImport.h"
#include "util/Error.h"

namespace {

using Kind = kx::ImportField::Kind;

void Require(bool condition) {
  if (!condition) std::abort();
}

// One folder per process in memory, removed at exit.
struct ScratchDir {
  ScratchDir() : path("/dev/shm/kx-fuzz-csv-" + std::to_string(getpid())) {
    std::filesystem::create_directories(path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

class Clock final : public kx::SystemClock {
 public:
  kx::DateTime Today() override { return 46000; }
  kx::DateTime Now() override { return 46000.5; }
  void Sleep(uint32_t) override {}
  void PumpMessages() override {}
};

// A table that checks what reaches it; a row whose text is "!" is refused, like a constraint.
class CheckingTable final : public kx::ImportTarget {
 public:
  const std::vector<kx::ImportField>& Fields() const override { return fields_; }
  std::vector<kx::RowOutcome> Insert(const kx::RowBatch& batch) override {
    Require(batch.Fields() == fields_.size());
    std::vector<kx::RowOutcome> outcomes;
    for (std::size_t row = 0; row < batch.Rows(); ++row) {
      for (std::size_t field = 0; field < fields_.size(); ++field)
        Check(batch, batch.At(row, field), fields_[field]);
      const kx::RowBatch::Cell& text = batch.At(row, 0);
      if (text.kind == kx::RowBatch::Kind::Text && batch.Text(text) == "!") {
        outcomes.push_back({false, "refused"});
      } else {
        ++inserted;
        outcomes.emplace_back();
      }
    }
    return outcomes;
  }

  int64_t inserted = 0;

 private:
  static void Check(const kx::RowBatch& batch, const kx::RowBatch::Cell& cell, const kx::ImportField& field) {
    switch (cell.kind) {
      case kx::RowBatch::Kind::Null:
        return;
      case kx::RowBatch::Kind::Text:
        Require(field.Type == Kind::Text && batch.Text(cell).size() <= field.Length);
        return;
      case kx::RowBatch::Kind::Int:
        Require(field.Type == Kind::SmallInt || field.Type == Kind::Integer);
        return;
      case kx::RowBatch::Kind::Double:
        Require(field.Type == Kind::Double && std::isfinite(cell.real));
        return;
    }
  }

  const std::vector<kx::ImportField> fields_ = {{"TEXT", Kind::Text, 10},
                                                {"SMALL", Kind::SmallInt, 0},
                                                {"NUM", Kind::Integer, 0},
                                                {"AMOUNT", Kind::Double, 0}};
};

const std::vector<std::string> kMaps[] = {
    {"TEXT=1", "SMALL=2", "NUM=3", "AMOUNT=4"},
    {"AMOUNT=1", "TEXT=2", "TEXT=3", "NUM=9"},  // a column twice, a position beyond the fields
    {"NUM=1", "SMALL=1", "AMOUNT=1", "TEXT=1"},
    {"TEXT=0", "AMOUNT=+2", "SMALL=3", "NUM=-1"},
};
constexpr char kCommas[] = {';', ',', '\t', '"'};
constexpr char kQuotes[] = {'"', '\'', ';', '\0'};

void CheckSplit(std::string_view content, char comma, char quote) {
  const std::string_view line = content.substr(0, content.find('\n'));
  const std::vector<std::string> fields = kx::SplitDelimitedLine(line, comma, quote);
  Require(!fields.empty());
  if (line.find(quote) != std::string_view::npos) return;
  std::string joined = fields[0];
  for (std::size_t i = 1; i < fields.size(); ++i) joined += comma + fields[i];
  Require(joined == line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static const ScratchDir dir;
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const char comma = kCommas[data[1] & 3];
  const char quote = kQuotes[(data[1] >> 2) & 3];
  const std::string_view content(reinterpret_cast<const char*>(data) + 2, size - 2);
  CheckSplit(content, comma, quote);

  const std::string file = dir.path + "/data.csv";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  Require(out != nullptr);
  Require(std::fwrite(content.data(), 1, content.size(), out) == content.size());
  std::fclose(out);

  CheckingTable table;
  Clock clock;
  kx::TCsvImportSettings settings;
  settings.FileName = file;
  settings.Map = kMaps[(flags >> 4) & 3];
  settings.Comma = comma;
  settings.Quote = quote;
  settings.SkipFirstRows = (flags & 2) ? 1 : 0;
  settings.ImportRecCount = (flags & 64) ? 3 : 0;
  settings.Formats.Regional = (flags & 1) ? kx::GermanFormats() : kx::EnglishFormats();
  if (flags & 128) settings.Formats.Regional.ThousandSeparator = '\0';  // a locale without grouping
  settings.ErrorLog = (flags & 8) != 0;
  settings.ErrorLogFileName = dir.path + "/errors.log";
  if (flags & 4) {  // small batches through the worker
    settings.BatchRows = 3;
    settings.InsertOnWorker = true;
  }
  kx::TCsvImport import(table, clock, std::move(settings));
  import.Execute();
  Require(import.ProcessedCount() == table.inserted);
  return 0;
}
