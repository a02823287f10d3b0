#include "BenchSupport.h"

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/CreateDatabase.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "kxdb/SqlScript.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "util/Cp1252.h"
#include "util/Error.h"
#include "util/WholeFile.h"

namespace kx::bench {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForWriting(const std::filesystem::path& path) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) throw FileError("cannot create " + path.string(), path.string());
  std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 20);
  return file;
}

class FileWriter final : public gen::Writer {
 public:
  explicit FileWriter(const std::filesystem::path& dir)
      : holdings_(OpenForWriting(dir / "bestandsdaten.csv")),
        transactions_(OpenForWriting(dir / "transaktionsdaten.csv")) {}
  void Holdings(std::string_view line) override { Write(holdings_, line); }
  void Transactions(std::string_view line) override { Write(transactions_, line); }
  void Close() {
    if (std::fclose(holdings_.release()) != 0 || std::fclose(transactions_.release()) != 0) {
      throw Error("cannot write the provider files");
    }
  }

 private:
  static void Write(File& file, std::string_view line) {
    if (std::fwrite(line.data(), 1, line.size(), file.get()) != line.size())
      throw Error("cannot write a provider file");
  }
  File holdings_;
  File transactions_;
};

[[noreturn]] void Usage(std::string_view program, std::string_view purpose, int status) {
  (status == 0 ? std::cout : std::cerr)
      << "Usage: " << program
      << " [--large] [--repeat N] [--work DIR] [--keep] [--reuse] [--server] [--shape S]\n\n"
      << purpose << "\n\n"
      << "  --large     100,000 holdings rows and 1,000,000 transactions (default: a tenth)\n"
      << "  --repeat N  measure each subject N times, interleaved with its floor; the best\n"
      << "              time of each is reported (default 2)\n"
      << "  --work DIR  scratch directory for data, databases and documents (default: a new\n"
      << "              directory under /dev/shm, or /var/tmp without it, removed at the end)\n"
      << "  --keep      leave the scratch directory in place\n"
      << "  --reuse     kx_bench_document: use the database a --keep run loaded in --work DIR again\n"
      << "  --server    also measure through the Firebird server on localhost (as root, with the\n"
      << "              server started: scripts/firebird-server.sh start)\n"
      << "  --shape S   kx_bench_document: measure one data shape, standard (4 holdings rows\n"
      << "              per depot, 10 transactions each) or deep (a tenth of the\n"
      << "              depots, 2 holdings rows each with 200 transactions);\n"
      << "              default: both in turn\n";
  std::exit(status);
}

std::string ReadText(const std::filesystem::path& path) { return ReadWholeFile(path.string()); }

// The first value of a "key : value" line of a /proc file.
std::string ProcValue(const char* file, std::string_view key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.starts_with(key)) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    return std::string(TrimControl(std::string_view(line).substr(colon + 1)));
  }
  return "?";
}

}  // namespace

std::string_view ShapeName(DataShape shape) { return shape == DataShape::Deep ? "deep" : "standard"; }

Options ParseOptions(int argc, char** argv, std::string_view program, std::string_view purpose) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--large") {
      options.large = true;
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--reuse") {
      options.reuse = options.keep = true;
    } else if (arg == "--server") {
      options.server = true;
    } else if (arg == "--repeat" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), options.repeat);
      if (ec != std::errc() || ptr != value.data() + value.size() || options.repeat < 1 ||
          options.repeat > 20) {
        Usage(program, purpose, 2);
      }
    } else if (arg == "--shape" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      if (value == ShapeName(DataShape::Standard)) {
        options.shape = DataShape::Standard;
      } else if (value == ShapeName(DataShape::Deep)) {
        options.shape = DataShape::Deep;
      } else {
        Usage(program, purpose, 2);
      }
    } else if (arg == "--work" && i + 1 < argc) {
      options.work = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      Usage(program, purpose, 0);
    } else {
      Usage(program, purpose, 2);
    }
  }
  if (options.work.empty()) {
    // In memory where the machine has it: the staging database syncs its pages to disk, and a
    // virtual disk's sync times vary more from run to run than the differences measured here.
    const bool inMemory = std::filesystem::is_directory("/dev/shm");
    std::string pattern = inMemory ? "/dev/shm/kxbench_XXXXXX" : "/var/tmp/kxbench_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw Error("mkdtemp failed for " + pattern);
    options.work = pattern;
  } else {
    std::filesystem::create_directories(options.work);
  }
  return options;
}

int BenchMain(int argc, char** argv, std::string_view program, std::string_view purpose,
              const std::function<int(const Options&)>& run) {
  try {
    const Options options = ParseOptions(argc, argv, program, purpose);
    const int status = run(options);
    if (!options.keep) std::filesystem::remove_all(options.work);
    return status;
  } catch (const std::exception& error) {
    std::cerr << program << ": " << error.what() << "\n";
    return 1;
  }
}

void Interleave(int repeat, const std::function<void(int)>& subject, const std::function<void(int)>& floor) {
  for (int rep = 0; rep < repeat; ++rep) {
    if (rep % 2 == 0) {
      subject(rep);
      std::fflush(stdout);
      floor(rep);
    } else {
      floor(rep);
      std::fflush(stdout);
      subject(rep);
    }
    std::fflush(stdout);
  }
}

gen::Sizes DataSizes(bool large, DataShape shape) {
  gen::Sizes sizes;
  sizes.customers = large ? 10000 : 1000;
  sizes.depotsPerCustomer = 2.5;
  sizes.positionsPerDepot = 4;
  sizes.transactionsPerPosition = 10;
  sizes.unassignedDepots = 0;
  if (shape == DataShape::Deep) {  // as many transactions on a tenth of the depots
    sizes.customers /= 10;
    sizes.positionsPerDepot = 2;
    sizes.transactionsPerPosition = 200;
  }
  return sizes;
}

gen::Counts WriteProviderFiles(const std::filesystem::path& dir, bool large, DataShape shape) {
  std::filesystem::create_directories(dir);
  FileWriter writer(dir);
  const gen::Counts counts = gen::Generate(DataSizes(large, shape), 1, writer);
  writer.Close();
  return counts;
}

void CopyColumnMaps(const std::filesystem::path& dir) {
  for (const char* map : {"BESTAND.txt", "TRANSAKT.txt", "DBSTARTIDS.txt"}) {
    std::filesystem::copy_file(std::filesystem::path(KX_INSTALL_DIR) / map, dir / map,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

void CreateStagingDatabase(const std::string& path) {
  const std::vector<std::string> statements =
      kxdb::SplitSqlScript(ReadText(std::filesystem::path(KX_INSTALL_DIR) / "KXDB.sql"));
  const db::ClientLibrary client;
  db::CreateDatabase(client, path);
  db::Connection connection(client, path);
  db::Transaction transaction(connection);
  for (const std::string& sql : statements) {
    transaction.Start();
    transaction.ExecuteImmediate(sql);
    transaction.Commit();
  }
}

void CopyDatabase(const std::filesystem::path& templateFile, const std::filesystem::path& target) {
  std::filesystem::copy_file(templateFile, target, std::filesystem::copy_options::overwrite_existing);
}

namespace {

void HandToServer(const std::filesystem::path& path, mode_t mode) {
  const passwd* user = getpwnam("firebird");
  if (user == nullptr) throw std::runtime_error("no user firebird: is firebird3.0-server installed?");
  if (chown(path.c_str(), user->pw_uid, user->pw_gid) != 0 || chmod(path.c_str(), mode) != 0) {
    throw std::runtime_error("cannot hand " + path.string() +
                             " to user firebird (run the benchmark as root)");
  }
}

}  // namespace

std::filesystem::path ServerFolder(const Options& options) {
  // The scratch directory is made private by mkdtemp; the server only needs to pass through it.
  if (chmod(options.work.c_str(), 0711) != 0)
    throw std::runtime_error("cannot open " + options.work.string());
  const std::filesystem::path folder = options.work / "server";
  std::filesystem::create_directories(folder);
  HandToServer(folder, 02770);
  return folder;
}

void CopyDatabaseForServer(const std::filesystem::path& file, const std::filesystem::path& target) {
  CopyDatabase(file, target);
  HandToServer(target, 0660);
}

std::string DatabasePlace::Prepare(const std::filesystem::path& templateFile, const std::string& name) const {
  if (!server) {
    CopyDatabase(templateFile, File(name));
    return File(name).string();
  }
  CopyDatabaseForServer(templateFile, File(name));
  return ThroughServer(File(name));
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PhaseResult::operator[](const std::string& key) const {
  const auto it = values.find(key);
  if (it == values.end()) throw std::runtime_error("the phase reported no " + key);
  return it->second;
}

PhaseResult RunInChild(const std::string& name, const std::function<std::map<std::string, double>()>& work,
                       const std::vector<std::filesystem::path>& scratch) {
  std::cout.flush();
  std::fflush(stdout);
  sync();
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    close(pipeEnds[0]);
    std::string report;
    int status = 0;
    try {
      for (const auto& [key, value] : work()) {
        char number[64];
        std::snprintf(number, sizeof number, "%.17g", value);
        report += key + " " + number + "\n";
      }
    } catch (const std::exception& error) {
      report = std::string("error ") + error.what() + "\n";
      status = 1;
    }
    std::size_t written = 0;
    while (written < report.size()) {
      const ssize_t n = write(pipeEnds[1], report.data() + written, report.size() - written);
      if (n <= 0) break;
      written += static_cast<std::size_t>(n);
    }
    close(pipeEnds[1]);
    std::fflush(stdout);
    _exit(status);  // no destructors of the parent's objects, no engine shutdown twice
  }
  close(pipeEnds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) throw std::runtime_error("wait4 failed for " + name);
  if (report.starts_with("error ")) throw std::runtime_error(name + ": " + report.substr(6));
  for (const std::filesystem::path& file : scratch) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(name + " ended abnormally");

  PhaseResult result;
  result.peakRssMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  std::istringstream lines(report);
  std::string key;
  double value = 0;
  while (lines >> key >> value) result.values[key] = value;
  return result;
}

double CurrentRssMiB() {
  // "VmRSS:     1234 kB"
  return std::strtod(ProcValue("/proc/self/status", "VmRSS").c_str(), nullptr) / 1024.0;
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string MachineText() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  char memory[64];
  std::snprintf(memory, sizeof memory, "%.1f GiB",
                static_cast<double>(pages) * static_cast<double>(pageSize) / (1024.0 * 1024.0 * 1024.0));
  return "nproc " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + ", memory " + memory + ", CPU " +
         ProcValue("/proc/cpuinfo", "model name");
}

DateTime FixedClock::Today() { return EncodeDate(2026, 12, 9); }
DateTime FixedClock::Now() { return EncodeDateTime({2026, 12, 9}, {10, 30, 0, 0}); }

std::string GermanRegional::LowerCase(std::string_view text) { return ToLower1252(text); }

void StageRecorder::Send(int32_t kind, int32_t value, std::string_view text) {
  if (kind == KX_PROGRESS_POSITION) {
    ++positions;
    return;
  }
  if (kind != KX_PROGRESS_STATUS) return;
  stages.push_back({value, std::string(text), Clock::now(), ProcessCpuSeconds()});
  if (stop_ && value == 70) throw StopBeforeDocument();
}

const StageRecorder::Stage& StageRecorder::At(int32_t value) const {
  for (const Stage& stage : stages) {
    if (stage.value == value) return stage;
  }
  throw std::runtime_error("no status message with the value " + std::to_string(value));
}

std::map<std::string, double> LoadLikeGenerateImport(const std::filesystem::path& dataDir,
                                                     const std::string& database) {
  StageRecorder progress(true);
  FixedClock clock;
  GermanRegional regional;
  GenerateImportArgs args;
  args.DataDir = dataDir.string() + "/";
  args.ImportDb = database;
  args.ImportDate = clock.Today();
  args.OutputDir = dataDir.string();
  args.AdvisorRef = "BR-1";
  try {
    NoWindows ui;
    TXML_Gen container({progress, clock, regional, ui});
    container.GenerateImport(args);
    throw std::runtime_error("GenerateImport wrote no document");
  } catch (const StopBeforeDocument&) {
  }
  const auto seconds = [&progress](int32_t from, int32_t to) {
    return std::chrono::duration<double>(progress.At(to).at - progress.At(from).at).count();
  };
  return {{"holdings_s", seconds(10, 40)},
          {"transactions_s", seconds(40, 70)},
          {"load_s", seconds(10, 70)},
          {"load_cpu", progress.At(70).cpu - progress.At(10).cpu},
          {"positions", static_cast<double>(progress.positions)}};
}

int64_t CountRows(const std::string& database, std::string_view table) {
  const db::ClientLibrary client;
  db::Connection connection(client, database);
  db::Transaction transaction(connection);
  transaction.Start();
  db::Statement count(transaction, "select count(*) from " + std::string(table));
  count.Open();
  count.Fetch();
  return count.CurrentRow().AsInt(0);
}

std::string Rate(double count, double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.0f/s", seconds > 0 ? count / seconds : 0.0);
  return text;
}

void PrintRow(std::string_view label, std::string_view text) {
  std::printf("  %-34.*s %.*s\n", static_cast<int>(label.size()), label.data(), static_cast<int>(text.size()),
              text.data());
  std::fflush(stdout);
}

std::string Verdict(double ratio, double target, bool atLeast) {
  char text[96];
  const bool met = atLeast ? ratio >= target : ratio <= target;
  std::snprintf(text, sizeof text, "%.2f (target %s %.2f): %s", ratio, atLeast ? ">=" : "<=", target,
                met ? "met" : "MISSED");
  return text;
}

}  // namespace kx::bench
