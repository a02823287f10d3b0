// kxgen: writes a deterministic pair of provider files (bestandsdaten.csv, transaktionsdaten.csv)
// for tests, the demo and benchmarks.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "CommandLine.h"
#include "kxgen/ProviderData.h"
#include "util/Cp1252.h"
#include "util/Error.h"
#include "util/ProviderIdentity.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char* const kUsage = R"(Usage: kxgen --out DIR [options]

Writes DIR/bestandsdaten.csv and DIR/transaktionsdaten.csv (DIR is created), Windows-1252,
";"-separated, CR LF. The same seed and sizes give the same bytes.

Options:
  --seed N                          seed of the data (default 1)
  --customers N                     customers (default 5)
  --depots-per-customer N           mean depots per customer (default 2)
  --positions-per-depot N           mean holdings rows per depot (default 3)
  --transactions-per-position N     mean transactions per holdings row (default 4)
  --unassigned-depots N             depots with transactions and no holdings row (default 2)
  --start-ids A,B                   STARTID1 and STARTID2 of every transaction line
                                    (default: derived from the seed; either may be empty)
  --duplicate-traid                 one more transaction line repeating an earlier TRAID
  --overlong                        one 70-character surname and one 25-character ISIN
  --summary                         print the counts as key=value lines
  --help                            this text
  --version                         the version

The means may have decimals (2.5); each customer, depot and position gets its own count around
the mean, and the totals are the products rounded down.

Benchmark data (10,000 customers, 25,000 depots, 100,000 holdings rows, 1,000,000 transactions):
  kxgen --out /tmp/kxbench --customers 10000 --depots-per-customer 2.5 \
        --positions-per-depot 4 --transactions-per-position 10 --unassigned-depots 0 --summary
)";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Streams one file into a temporary beside it and renames it into place when complete, so that a
// reader never sees half a file.
class OutputFile {
 public:
  explicit OutputFile(std::filesystem::path path) : path_(std::move(path)), temp_(path_.string() + ".tmp") {
    file_.reset(std::fopen(temp_.c_str(), "wb"));
    if (!file_) throw kx::FileError("cannot create " + temp_.string(), temp_.string());
    std::setvbuf(file_.get(), nullptr, _IOFBF, 1 << 20);
  }
  void Write(std::string_view bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
      throw kx::FileError("cannot write " + temp_.string(), temp_.string());
    }
  }
  // A file that was not committed leaves no temporary behind.
  ~OutputFile() {
    if (!file_) return;
    file_.reset();
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Commit() {
    if (std::fclose(file_.release()) != 0) {
      throw kx::FileError("cannot write " + temp_.string(), temp_.string());
    }
    std::error_code error;
    std::filesystem::rename(temp_, path_, error);
    if (error)
      throw kx::FileError("cannot rename " + temp_.string() + ": " + error.message(), path_.string());
  }

 private:
  std::filesystem::path path_;
  std::filesystem::path temp_;
  File file_;
};

class FileWriter : public kx::gen::Writer {
 public:
  explicit FileWriter(const std::filesystem::path& dir)
      : holdings_(dir / kx::kHoldingsFile), transactions_(dir / kx::kTransactionsFile) {}
  void Holdings(std::string_view line) override { holdings_.Write(line); }
  void Transactions(std::string_view line) override { transactions_.Write(line); }
  void Commit() {
    holdings_.Commit();
    transactions_.Commit();
  }

 private:
  OutputFile holdings_;
  OutputFile transactions_;
};

// Command-line text (UTF-8) as Windows-1252; bytes that are not UTF-8 are taken as they are.
std::string FileText(const std::string& text) {
  const std::string converted = kx::Utf8ToCp1252(text);
  return kx::Cp1252ToUtf8(converted) == text ? converted : text;
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

struct Arguments {
  std::string out;
  uint64_t seed = 1;
  kx::gen::Sizes sizes;
  bool summary = false;
};

bool ParseArguments(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    auto next = [&] {
      if (i + 1 >= argc) {
        std::cerr << "kxgen: " << arg << " needs a value\n";
        return false;
      }
      value = argv[++i];
      return true;
    };
    auto number = [&](auto& target) {
      if (!next()) return false;
      if (ParseNumber(value, target)) return true;
      std::cerr << "kxgen: " << arg << " needs a number, not '" << value << "'\n";
      return false;
    };
    bool ok = true;
    if (arg == "--out") {
      ok = next();
      args.out = value;
    } else if (arg == "--seed") {
      ok = number(args.seed);
    } else if (arg == "--customers") {
      ok = number(args.sizes.customers);
    } else if (arg == "--depots-per-customer") {
      ok = number(args.sizes.depotsPerCustomer);
    } else if (arg == "--positions-per-depot") {
      ok = number(args.sizes.positionsPerDepot);
    } else if (arg == "--transactions-per-position") {
      ok = number(args.sizes.transactionsPerPosition);
    } else if (arg == "--unassigned-depots") {
      ok = number(args.sizes.unassignedDepots);
    } else if (arg == "--start-ids") {
      if (!next()) return false;
      const auto comma = value.find(',');
      if (comma == std::string::npos) {
        std::cerr << "kxgen: --start-ids needs A,B, not '" << value << "'\n";
        return false;
      }
      args.sizes.startIds = {FileText(value.substr(0, comma)), FileText(value.substr(comma + 1))};
    } else if (arg == "--duplicate-traid") {
      args.sizes.duplicateTraid = true;
    } else if (arg == "--overlong") {
      args.sizes.overlong = true;
    } else if (arg == "--summary") {
      args.summary = true;
    } else {
      std::cerr << "kxgen: unknown argument '" << arg << "' (see --help)\n";
      return false;
    }
    if (!ok) return false;
  }
  if (args.out.empty()) {
    std::cerr << "kxgen: --out DIR is required (see --help)\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::optional<int> answered = kx::tools::AnswerHelpOrVersion(argc, argv, 1, "kxgen", kUsage))
    return *answered;
  Arguments args;
  if (!ParseArguments(argc, argv, args)) return kExitUsage;
  try {
    std::filesystem::create_directories(args.out);
    FileWriter writer(args.out);
    const kx::gen::Counts counts = kx::gen::Generate(args.sizes, args.seed, writer);
    writer.Commit();
    if (args.summary) std::cout << kx::gen::SummaryText(counts);
  } catch (const std::exception& error) {
    std::cerr << "kxgen: " << error.what() << "\n";
    return kExitFailed;
  }
  return 0;
}
