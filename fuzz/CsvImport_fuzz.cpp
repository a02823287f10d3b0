// The delimited-text importer over a file made of the input (after two bytes that choose the
// settings): no crash, no text longer than its column and no non-finite double reaching the
// target, one processed record per inserted row; and SplitDelimitedLine on the first line, which
// without quotes must give the fields that joined are the line.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
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
  explicit CheckingTable(bool defers) : defers_(defers) {}
  const std::vector<kx::ImportField>& Fields() const override { return fields_; }
  void BeginRow() override { text_.reset(); }
  void SetText(std::size_t field, std::string_view value) override {
    Require(fields_.at(field).Type == Kind::Text && value.size() <= fields_[field].Length);
    text_ = std::string(value);
  }
  void SetInt(std::size_t field, int64_t) override {
    Require(fields_.at(field).Type == Kind::SmallInt || fields_[field].Type == Kind::Integer);
  }
  void SetDouble(std::size_t field, double value) override {
    Require(fields_.at(field).Type == Kind::Double && std::isfinite(value));
  }
  void SetNull(std::size_t field) override {
    Require(field < fields_.size());
    if (field == 0) text_.reset();
  }
  void Post() override {
    const bool refused = text_ == "!";
    if (defers_) {
      queued_.push_back(refused);
      return;
    }
    if (refused) throw kx::Error("refused");
    ++inserted;
  }
  void Cancel() override {}
  bool Defers() const override { return defers_; }
  void Flush() override {
    for (const bool refused : queued_) outcomes_.push_back(refused);
    queued_.clear();
  }
  std::optional<kx::PostedRow> TakeOutcome() override {
    if (outcomes_.empty()) return std::nullopt;
    const bool refused = outcomes_.front();
    outcomes_.pop_front();
    if (refused) return kx::PostedRow{false, "refused"};
    ++inserted;
    return kx::PostedRow{};
  }

  int64_t inserted = 0;

 private:
  const std::vector<kx::ImportField> fields_ = {{"TEXT", Kind::Text, 10},
                                                {"SMALL", Kind::SmallInt, 0},
                                                {"NUM", Kind::Integer, 0},
                                                {"AMOUNT", Kind::Double, 0}};
  bool defers_;
  std::optional<std::string> text_;
  std::deque<bool> queued_;
  std::deque<bool> outcomes_;
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

  CheckingTable table((flags & 4) != 0);
  Clock clock;
  kx::TCsvImport import(table, clock);
  import.FileName = file;
  import.Map = kMaps[(flags >> 4) & 3];
  import.Comma = comma;
  import.Quote = quote;
  import.SkipFirstRows = (flags & 2) ? 1 : 0;
  import.ImportRecCount = (flags & 64) ? 3 : 0;
  import.Formats.Regional = (flags & 1) ? kx::GermanFormats() : kx::EnglishFormats();
  if (flags & 128) import.Formats.Regional.ThousandSeparator = '\0';  // a locale without grouping
  import.ErrorLog = (flags & 8) != 0;
  import.ErrorLogFileName = dir.path + "/errors.log";
  import.Execute();
  Require(import.ProcessedCount() == table.inserted);
  return 0;
}
