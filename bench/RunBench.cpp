// kx_bench_run: one whole first import through the shared library's ExportXML, loaded with dlopen
// as a host loads it, its files fetched from the provider simulator over HTTPS, against the sum of
// the download floor, the load floor and the scan floor.
#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "BenchSupport.h"
#include "DownloadFloor.h"
#include "ImpApiKorvalix.h"
#include "LoadFloor.h"
#include "ScanFloor.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "platform/HttpTransport.h"
#include "staging/StagingSql.h"

namespace kx::bench {
namespace {

constexpr std::string_view kPurpose =
    "Runs a whole first import through ExportXML (the two provider files fetched from the provider\n"
    "simulator over HTTPS on 127.0.0.1; ImportDB=./KXDB.IDB, embedded) and, in turn, the floors: the\n"
    "download floor of kx_bench_download, the load floor and the scan floor of kx_bench_load and\n"
    "kx_bench_document. With --server the same again with ImportDB naming a database through the\n"
    "Firebird server on localhost. The run's two documented 1 s pauses (one after each provider\n"
    "file) are reported apart.\n"
    "Target: whole run less its pauses <= 1.15 x (download + load + scan floor) embedded; the server\n"
    "path is reported.";

// The run sleeps 1 s after each of the two provider files it has written.
constexpr double kDocumentedPauses = 2.0;

std::vector<StageRecorder::Stage> gStages;
std::string gLastError;

void KX_CALL RecordProgress(int32_t kind, int32_t value, const char* text) {
  if (kind == KX_PROGRESS_STATUS) gStages.push_back({value, text, Clock::now(), ProcessCpuSeconds()});
  if (kind == KX_PROGRESS_ERROR) gLastError = text;
}

void WriteSettings(const std::filesystem::path& registry, const std::string& serviceUrl,
                   const std::filesystem::path& dataDir, const std::string& importDb) {
  std::ofstream out(registry, std::ios::binary | std::ios::trunc);
  out << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"
      << "\"DownloadSrvUrl\"=\"" << serviceUrl << "\"\r\n"
      << "\"Timeout\"=\"300\"\r\n\"DebugMode\"=\"0\"\r\n\"DataDir\"=\"" << dataDir.string() << "/\"\r\n"
      << "\"ImportDB\"=\"" << importDb << "\"\r\n";
  if (!out) throw std::runtime_error("cannot write " + registry.string());
}

// The library loaded with dlopen and the two exports the run needs.
class Library {
 public:
  explicit Library(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) throw std::runtime_error(std::string("cannot load ") + path + ": " + dlerror());
    RegProgrCallback = reinterpret_cast<decltype(RegProgrCallback)>(dlsym(handle_, "RegProgrCallback"));
    ExportXML = reinterpret_cast<decltype(ExportXML)>(dlsym(handle_, "ExportXML"));
    if (RegProgrCallback == nullptr || ExportXML == nullptr) throw std::runtime_error("exports missing");
  }
  ~Library() { dlclose(handle_); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  decltype(&::RegProgrCallback) RegProgrCallback = nullptr;
  decltype(&::ExportXML) ExportXML = nullptr;

 private:
  void* handle_;
};

std::map<std::string, double> MeasureWholeRun(const std::filesystem::path& work,
                                              const std::filesystem::path& run, const DatabasePlace& place) {
  place.Prepare(work / "template.fdb", "KXDB.IDB");
  const std::filesystem::path out = run / "out";
  std::filesystem::create_directories(out);
  Library library(KX_LIBRARY_PATH);
  library.RegProgrCallback(&RecordProgress);
  const double lastImport = 0;
  const char* options =
      "EmbeddedIBServer=TRUE\r\nNoMessageBoxes=TRUE\r\nUserLogin=12345\r\nPassword=4711\r\n";
  const double rssBefore = CurrentRssMiB();
  const Clock::time_point start = Clock::now();
  const int32_t result = library.ExportXML(out.c_str(), "BR-1", 0, &lastImport, options);
  const Clock::time_point end = Clock::now();
  const double endCpu = ProcessCpuSeconds();
  library.RegProgrCallback(nullptr);
  if (result != 0)
    throw std::runtime_error("ExportXML returned " + std::to_string(result) + ": " + gLastError);

  auto at = [](int32_t value) {
    for (const StageRecorder::Stage& stage : gStages) {
      if (stage.value == value) return stage.at;
    }
    throw std::runtime_error("the run sent no status message with the value " + std::to_string(value));
  };
  auto cpuAt = [](int32_t value) {
    for (const StageRecorder::Stage& stage : gStages) {
      if (stage.value == value) return stage.cpu;
    }
    return 0.0;
  };
  auto seconds = [](Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
  };
  return {{"run_s", seconds(start, end)},
          {"fetch_s", seconds(start, at(10))},
          {"holdings_s", seconds(at(10), at(40))},
          {"transactions_s", seconds(at(40), at(70))},
          {"document_s", seconds(at(70), end)},
          {"document_cpu", endCpu - cpuAt(70)},
          {"bytes", static_cast<double>(std::filesystem::file_size(out / "KORVALIX.XML"))},
          {"rss_before_mib", rssBefore}};
}

// The load floor into a fresh database, then the scan floor on the rows it inserted.
std::map<std::string, double> MeasureFloors(const std::filesystem::path& work, const DatabasePlace& place,
                                            const std::filesystem::path& files,
                                            const std::filesystem::path& maps, int64_t bytes) {
  const std::string database = place.Prepare(work / "template.fdb", "floor.fdb");
  double loadSeconds = 0;
  {
    const db::ClientLibrary client;
    db::Connection connection(client, database);
    db::Transaction transaction(connection);
    transaction.Start();
    const RowBatch holdings = ConvertLikeTheImporter(transaction, staging_sql::InsertBestand(),
                                                     (files / "bestandsdaten.csv").string(),
                                                     (maps / "BESTAND.txt").string(), false);
    const RowBatch transactions = ConvertLikeTheImporter(transaction, staging_sql::InsertTransakt(),
                                                         (files / "transaktionsdaten.csv").string(),
                                                         (maps / "TRANSAKT.txt").string(), true);
    const Clock::time_point start = Clock::now();
    InsertRows(transaction, staging_sql::InsertBestand(), holdings);
    InsertRows(transaction, staging_sql::InsertTransakt(), transactions);
    transaction.Commit();
    loadSeconds = SecondsSince(start);
  }
  const Clock::time_point start = Clock::now();
  const ScanResult scan = ScanStagingTables(database, (work / "scan.txt").string(), bytes);
  return {{"load_s", loadSeconds}, {"scan_s", SecondsSince(start)}, {"rows", static_cast<double>(scan.rows)}};
}

void PrintSeconds(std::string_view label, double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%8.2f s", seconds);
  PrintRow(label, text);
}

// The whole run and the floors, each measured options.repeat times in turn.
struct Comparison {
  std::map<std::string, double> best;  // the stages of the fastest whole run
  double downloadFloor = 1e30;
  double loadFloor = 1e30;
  double scanFloor = 1e30;
  double runRss = 0;
  double rssBefore = 0;

  double Floors() const { return downloadFloor + loadFloor + scanFloor; }
  double Ratio() const { return (best.at("run_s") - kDocumentedPauses) / Floors(); }
  void Print(int repeat) const {
    std::printf("Best of %d:\n", repeat);
    PrintSeconds("stage: download (2 s pauses in)", best.at("fetch_s"));
    PrintSeconds("stage: holdings load", best.at("holdings_s"));
    PrintSeconds("stage: transactions + ids load", best.at("transactions_s"));
    PrintSeconds("stage: document", best.at("document_s"));
    PrintSeconds("whole run", best.at("run_s"));
    PrintSeconds("whole run less the pauses", best.at("run_s") - kDocumentedPauses);
    PrintSeconds("download floor", downloadFloor);
    PrintSeconds("load floor", loadFloor);
    PrintSeconds("scan floor", scanFloor);
    PrintSeconds("sum of the floors", Floors());
    char text[64];
    std::snprintf(text, sizeof text, "%.0f MiB (%.0f MiB before ExportXML)", runRss, rssBefore);
    PrintRow("peak RSS, whole run", text);
  }
};

// Where the provider's data and the simulator serving them are.
struct Provider {
  std::filesystem::path files;  // the login's two files
  std::vector<Request> requests;
  std::string serviceUrl;
  std::string caFile;
};

Comparison Compare(const Options& options, const DatabasePlace& place, const std::filesystem::path& run,
                   const Provider& provider) {
  const std::filesystem::path registry = options.work / "registry.reg";
  WriteSettings(registry, provider.serviceUrl, run,
                place.server ? ThroughServer(place.File("KXDB.IDB")) : "./KXDB.IDB");
  setenv("VELQORA_REGISTRY", registry.c_str(), 1);
  const char* stages[] = {"fetch_s", "holdings_s", "transactions_s", "document_s", "run_s"};
  Comparison c;
  for (const char* stage : stages) c.best[stage] = 1e30;
  int64_t bytes = 0;
  auto wholeRun = [&](int rep) {
    const PhaseResult r = RunInChild("whole run", [&] { return MeasureWholeRun(options.work, run, place); },
                                     {place.File("KXDB.IDB"), run / "out" / "KORVALIX.XML",
                                      run / "bestandsdaten.csv", run / "transaktionsdaten.csv"});
    if (r["run_s"] < c.best["run_s"]) {
      for (const char* stage : stages) c.best[stage] = r[stage];
    }
    c.runRss = std::max(c.runRss, r.peakRssMiB);
    c.rssBefore = std::max(c.rssBefore, r["rss_before_mib"]);
    bytes = static_cast<int64_t>(r["bytes"]);
    std::printf(
        "  run %d whole run %.2f s (fetch %.2f, holdings %.2f, transactions %.2f, document %.2f, its CPU "
        "%.2f), RSS %.0f MiB\n",
        rep + 1, r["run_s"], r["fetch_s"], r["holdings_s"], r["transactions_s"], r["document_s"],
        r["document_cpu"], r.peakRssMiB);
  };
  auto floors = [&](int rep) {
    const std::filesystem::path fetched = options.work / "fetched";
    std::filesystem::create_directories(fetched);
    const PhaseResult d = RunInChild(
        "download floor", [&] { return PlainLibcurl(provider.requests, fetched, provider.caFile); },
        {fetched / "bestandsdaten.csv", fetched / "transaktionsdaten.csv"});
    const PhaseResult r =
        RunInChild("floors", [&] { return MeasureFloors(options.work, place, provider.files, run, bytes); },
                   {place.File("floor.fdb"), options.work / "scan.txt"});
    c.downloadFloor = std::min(c.downloadFloor, d["s"]);
    c.loadFloor = std::min(c.loadFloor, r["load_s"]);
    c.scanFloor = std::min(c.scanFloor, r["scan_s"]);
    std::printf("  run %d floors    download %.2f s + load %.2f s + scan %.2f s, RSS %.0f MiB\n", rep + 1,
                d["s"], r["load_s"], r["scan_s"], r.peakRssMiB);
  };
  Interleave(options.repeat, wholeRun, floors);
  return c;
}

int Run(const Options& options) {
  const std::filesystem::path run = options.work / "run";
  std::printf("Whole-run benchmark (%s data set), %s\n", options.large ? "large" : "small",
              MachineText().c_str());
  const std::filesystem::path data = options.work / "provider";
  Provider provider;
  provider.files = data / kLogin;
  const gen::Counts counts = WriteProviderFiles(provider.files, options.large);
  std::ofstream(data / "accounts.txt") << kLogin << ";" << kPin << "\n";
  const SimulatorProcess simulator(data, options.work / "certs", options.work / "ports.txt");
  provider.serviceUrl = simulator.Url();
  provider.requests = FirstImportRequests(provider.serviceUrl);
  provider.caFile = (options.work / "certs" / "ca.pem").string();
  setenv(kCaFileVariable, provider.caFile.c_str(), 1);
  std::filesystem::create_directories(run);
  CopyColumnMaps(run);
  RunInChild("create database", [&] {
    CreateStagingDatabase((options.work / "template.fdb").string());
    return std::map<std::string, double>{};
  });
  std::printf("  %llu holdings rows, %llu transaction lines\n",
              static_cast<unsigned long long>(counts.holdingsRows),
              static_cast<unsigned long long>(counts.transactionRows));

  const Comparison embedded = Compare(options, {run, false}, run, provider);
  embedded.Print(options.repeat);
  std::printf("RESULT run: whole run less its pauses/(download + load + scan floor) %s\n",
              Verdict(embedded.Ratio(), 1.15, false).c_str());
  if (options.server) {
    std::printf("Through the Firebird server on localhost (ImportDB \"localhost:...\"):\n");
    const Comparison server = Compare(options, {ServerFolder(options), true}, run, provider);
    server.Print(options.repeat);
    std::printf(
        "RESULT run (server): whole run less its pauses/(download + load + scan floor through the server) "
        "%.2f (reported)\n",
        server.Ratio());
  }
  return 0;
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv) {
  return kx::bench::BenchMain(argc, argv, "kx_bench_run", kx::bench::kPurpose, kx::bench::Run);
}
