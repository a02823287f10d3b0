#pragma once

// What the three benchmarks share: the data set, staging databases, doubles for the
// container's seams, and phases run in child processes so that each reports its own peak RSS.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "kxgen/ProviderData.h"
#include "platform/RegionalSettings.h"
#include "platform/SystemClock.h"
#include "platform/UserInterface.h"
#include "util/ProgressSink.h"

namespace kx::bench {

// --- Command line and data set

// How the data set's transactions are spread over depots and positions: the standard shape has 4
// holdings rows per depot with 10 transactions each, the deep one as many transactions on a tenth
// of the depots, 2 holdings rows per depot with 200 transactions each.
enum class DataShape { Standard, Deep };
std::string_view ShapeName(DataShape shape);

struct Options {
  bool large = false;
  int repeat = 2;              // measurements of each subject; the best one is reported
  std::filesystem::path work;  // scratch directory, removed at the end unless keep
  bool keep = false;
  // The loaded database an earlier run left in work (--keep) is used again instead of loading anew.
  bool reuse = false;
  bool server = false;  // also through the Firebird server on localhost
  // kx_bench_document measures this shape alone; without it, every shape in turn.
  std::optional<DataShape> shape;
};

// --large, --repeat N, --work DIR, --keep, --reuse, --server, --shape S. Prints usage and exits on a wrong
// command line.
Options ParseOptions(int argc, char** argv, std::string_view program, std::string_view purpose);

// A benchmark program's main: parses the options, runs, removes the scratch directory unless
// --keep, and turns an exception into a message and status 1.
int BenchMain(int argc, char** argv, std::string_view program, std::string_view purpose,
              const std::function<int(const Options&)>& run);

// Measures the subject and its floor repeat times each, alternating which goes first so that a
// drift of the machine favours neither side. Run 1 starts with the subject, so that a floor can
// take what it needs from the subject's first measurement (the document's byte count). Each
// side is called with the run's index from 0.
void Interleave(int repeat, const std::function<void(int)>& subject, const std::function<void(int)>& floor);

// The data set: 10,000 customers (100,000 holdings rows, 1,000,000 transactions) with --large,
// a tenth of that otherwise; seed 1. The deep shape: 1,000 customers (100 without --large), as
// many transactions.
gen::Sizes DataSizes(bool large, DataShape shape = DataShape::Standard);

// Writes bestandsdaten.csv and transaktionsdaten.csv into dir and returns what they hold.
gen::Counts WriteProviderFiles(const std::filesystem::path& dir, bool large,
                               DataShape shape = DataShape::Standard);

// Copies the installation's column maps (BESTAND.txt, TRANSAKT.txt, DBSTARTIDS.txt) into dir.
void CopyColumnMaps(const std::filesystem::path& dir);

// Creates an embedded staging database (install/KXDB.sql) at path. Loads the database client:
// call it in a child process (RunInChild) so that the parent stays free of the engine.
void CreateStagingDatabase(const std::string& path);

// A fresh copy of an empty staging database, replacing an earlier file at target.
void CopyDatabase(const std::filesystem::path& templateFile, const std::filesystem::path& target);

// For --server: a folder under the scratch directory in which the server's user (firebird) can
// open and create databases, and a copy of a database file there that the server may write.
// Needs root, as the tests of the server path do.
std::filesystem::path ServerFolder(const Options& options);
void CopyDatabaseForServer(const std::filesystem::path& file, const std::filesystem::path& target);
// The name that reaches path through the server.
inline std::string ThroughServer(const std::filesystem::path& path) { return "localhost:" + path.string(); }

// Where a phase's database lives: a plain path in folder (embedded), or a copy in the server's
// folder that the server opens.
struct DatabasePlace {
  std::filesystem::path folder;
  bool server = false;

  std::filesystem::path File(const std::string& name) const { return folder / name; }
  // A fresh copy of templateFile under name, and the name to attach it with.
  std::string Prepare(const std::filesystem::path& templateFile, const std::string& name) const;
};

// --- Measuring

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point start);
// User and system time of this process so far (all threads: the engine's too).
double ProcessCpuSeconds();

// Named numbers a phase reports, and the peak resident set of the process that ran it.
struct PhaseResult {
  std::map<std::string, double> values;
  double peakRssMiB = 0;
  double cpuSeconds = 0;  // user and system time of the child
  double operator[](const std::string& key) const;
};

// Runs work in a forked child and returns what it reported with the child's peak RSS
// (getrusage ru_maxrss). An exception in the child becomes a std::runtime_error here. The
// parent never loads the database engine, so each child starts from a small process.
// Everything written before is flushed to disk first, and the files in scratch are removed
// afterwards, so that one phase's pending writes do not slow the synchronous writes of the next.
PhaseResult RunInChild(const std::string& name, const std::function<std::map<std::string, double>()>& work,
                       const std::vector<std::filesystem::path>& scratch = {});

// The peak RSS of this process so far, in MiB.
double PeakRssMiB();
// The resident set of this process now.
double CurrentRssMiB();

// nproc, memory and CPU model, one line each.
std::string MachineText();

// --- Doubles for the component container

class FixedClock final : public SystemClock {
 public:
  DateTime Today() override;
  DateTime Now() override;
  void Sleep(uint32_t) override {}
  void PumpMessages() override {}
};

// No windows: a benchmark shows nothing and asks nothing.
class NoWindows final : public UserInterface {
 public:
  void ShowInformation(std::string_view, std::string_view) override {}
  bool AskPin(std::string_view, std::string_view, std::string&) override { return false; }
  int32_t ShowAccessDataDialog(AccessData&, std::string_view) override { return kModalCancel; }
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials&) override {
    return ProxyAnswer::Unavailable;
  }
  void ShowDownloadProgress() override {}
  bool DownloadCancelled() override { return false; }
  void CloseDownloadProgress() override {}
  void SetCursor(Cursor) override {}
};

class GermanRegional final : public RegionalSettings {
 public:
  FormatSettings Formats() override { return GermanFormats(); }
  std::string LowerCase(std::string_view text) override;
};

// Raised by StageRecorder at the document's status message when told to stop there.
struct StopBeforeDocument : std::runtime_error {
  StopBeforeDocument() : std::runtime_error("stopped before the document") {}
};

// Records when each status message (kind 1) arrives and counts the position messages.
class StageRecorder final : public ProgressSink {
 public:
  explicit StageRecorder(bool stopBeforeDocument = false) : stop_(stopBeforeDocument) {}
  void Send(int32_t kind, int32_t value, std::string_view text) override;

  struct Stage {
    int32_t value;
    std::string text;
    Clock::time_point at;
    double cpu;  // ProcessCpuSeconds() then
  };
  // The first status message with this value; raises when there was none.
  const Stage& At(int32_t value) const;
  std::vector<Stage> stages;
  int64_t positions = 0;

 private:
  bool stop_;
};

// GenerateImport on a data directory with maps and provider files, into database, stopping at
// the document (the staging tables are loaded and committed then). Reports the times of the
// holdings load ("holdings_s", status 10 to 40), of the transactions and start-id loads
// ("transactions_s", 40 to 70) and of both ("load_s"), and the CPU time of both ("load_cpu").
std::map<std::string, double> LoadLikeGenerateImport(const std::filesystem::path& dataDir,
                                                     const std::string& database);

// select count(*) of a table.
int64_t CountRows(const std::string& database, std::string_view table);

// --- Output

std::string Rate(double count, double seconds);  // "123,456/s"
void PrintRow(std::string_view label, std::string_view text);
// "ratio 0.93 (target >= 0.90): met" and the like.
std::string Verdict(double ratio, double target, bool atLeast);

}  // namespace kx::bench
