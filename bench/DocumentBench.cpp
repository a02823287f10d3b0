// kx_bench_document: TXML_Gen::WriteImportFile on a loaded staging database against its floor,
// one select per staging table reading every row once and a file of the document's size.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

#include "BenchSupport.h"
#include "ScanFloor.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"

namespace kx::bench {
namespace {

constexpr std::string_view kPurpose =
    "Loads the provider files once, then writes the import document (first import) and runs the\n"
    "floor (every staging row read once, the document's byte count written) in turn; with\n"
    "--server the same again with the loaded database opened through the Firebird server. Both\n"
    "data shapes in turn, each against its own floor.\n"
    "Targets: document time <= 1.5 x the floor embedded, <= 2 x the floor through the server.";

std::map<std::string, double> MeasureDocument(const std::string& database, const std::filesystem::path& out) {
  std::filesystem::create_directories(out);
  StageRecorder progress;
  FixedClock clock;
  GermanRegional regional;
  NoWindows ui;
  TXML_Gen container({progress, clock, regional, ui});
  container.AdvisorRef = "BR-1";
  container.ImportDate = clock.Today();
  container.LastImport = 0;
  const Clock::time_point start = Clock::now();
  const int32_t result = container.WriteImportFileFrom(database, out.string());
  const double seconds = SecondsSince(start);
  if (result != 0) throw std::runtime_error("WriteImportFile returned " + std::to_string(result));
  return {{"document_s", seconds},
          {"bytes", static_cast<double>(std::filesystem::file_size(out / "KORVALIX.XML"))},
          {"customers", static_cast<double>(progress.positions)}};
}

std::map<std::string, double> MeasureScan(const std::string& database, const std::filesystem::path& file,
                                          int64_t bytes) {
  const Clock::time_point start = Clock::now();
  const ScanResult scan = ScanStagingTables(database, file.string(), bytes);
  const double seconds = SecondsSince(start);
  return {{"scan_s", seconds},
          {"rows", static_cast<double>(scan.rows)},
          {"bytes", static_cast<double>(scan.bytes)}};
}

void PrintSubject(std::string_view label, double seconds, double rows, double bytes) {
  char text[128];
  std::snprintf(text, sizeof text, "%8.2f s  %s rows, %.1f MiB/s", seconds, Rate(rows, seconds).c_str(),
                bytes / (1024.0 * 1024.0) / seconds);
  PrintRow(label, text);
}

// The document and its floor on one database, each measured options.repeat times in turn.
struct Comparison {
  double document = 1e30;
  double scan = 1e30;
  // User and system time of the measuring process, all its threads (the document reads ahead on
  // two more); through the server, the server's own time is not in it.
  double documentCpu = 1e30;
  double scanCpu = 1e30;
  double documentRss = 0;
  double scanRss = 0;
  int64_t bytes = 0;

  void Print(int repeat, double rows) const {
    std::printf("Best of %d:\n", repeat);
    PrintSubject("floor (scan + write)", scan, rows, static_cast<double>(bytes));
    PrintSubject("document", document, rows, static_cast<double>(bytes));
    char text[96];
    std::snprintf(text, sizeof text, "%.2f s / %.2f s = %.2f", documentCpu, scanCpu, documentCpu / scanCpu);
    PrintRow("CPU time, document / floor", text);
    std::snprintf(text, sizeof text, "%.0f MiB (floor process %.0f MiB)", documentRss, scanRss);
    PrintRow("peak RSS, document", text);
  }
};

Comparison Compare(const Options& options, const std::string& database, double rows) {
  Comparison c;
  auto document = [&](int rep) {
    const PhaseResult r =
        RunInChild("document", [&] { return MeasureDocument(database, options.work / "out"); },
                   {options.work / "out" / "KORVALIX.XML"});
    c.document = std::min(c.document, r["document_s"]);
    c.documentCpu = std::min(c.documentCpu, r.cpuSeconds);
    c.documentRss = std::max(c.documentRss, r.peakRssMiB);
    c.bytes = static_cast<int64_t>(r["bytes"]);
    std::printf("  run %d document %.2f s (CPU %.2f s), %.1f MiB, RSS %.0f MiB\n", rep + 1, r["document_s"],
                r.cpuSeconds, r["bytes"] / (1024.0 * 1024.0), r.peakRssMiB);
  };
  auto scan = [&](int rep) {
    const PhaseResult r =
        RunInChild("scan", [&] { return MeasureScan(database, options.work / "scan.txt", c.bytes); },
                   {options.work / "scan.txt"});
    if (r["rows"] != rows) throw std::runtime_error("the scan read another number of rows than were loaded");
    c.scan = std::min(c.scan, r["scan_s"]);
    c.scanCpu = std::min(c.scanCpu, r.cpuSeconds);
    c.scanRss = std::max(c.scanRss, r.peakRssMiB);
    std::printf("  run %d floor    %.2f s (CPU %.2f s), RSS %.0f MiB\n", rep + 1, r["scan_s"], r.cpuSeconds,
                r.peakRssMiB);
  };
  Interleave(options.repeat, document, scan);
  return c;
}

// One data shape: its provider files loaded once, then the document against its floor, embedded
// and, with --server, through the server.
void MeasureShape(const Options& options, DataShape shape) {
  const std::string_view name = ShapeName(shape);
  const std::filesystem::path work = options.work / name;
  const std::filesystem::path data = work / "data";
  std::printf("Document benchmark (%s data set, %.*s shape), %s\n", options.large ? "large" : "small",
              static_cast<int>(name.size()), name.data(), MachineText().c_str());
  const gen::Counts counts = WriteProviderFiles(data, options.large, shape);
  CopyColumnMaps(data);
  const std::string database = (work / "document.fdb").string();
  const bool reuse = options.reuse && std::filesystem::exists(database);
  const PhaseResult load = reuse ? PhaseResult{} : RunInChild("load", [&] {
    CreateStagingDatabase(database);
    return LoadLikeGenerateImport(data, database);
  });
  const double rows = static_cast<double>(counts.holdingsRows + counts.acceptedTransactionRows);
  std::printf("  %s %.0f staging rows in %.2f s (%llu customer rows, %llu depots, %llu positions)\n",
              reuse ? "reused" : "loaded", rows, reuse ? 0.0 : load["load_s"],
              static_cast<unsigned long long>(counts.customerRows),
              static_cast<unsigned long long>(counts.depots),
              static_cast<unsigned long long>(counts.positions));

  Options here = options;
  here.work = work;
  const Comparison embedded = Compare(here, database, rows);
  embedded.Print(options.repeat, rows);
  std::printf("RESULT document (%.*s shape): document/floor time %s\n", static_cast<int>(name.size()),
              name.data(), Verdict(embedded.document / embedded.scan, 1.5, false).c_str());
  if (options.server) {
    const std::filesystem::path copy = ServerFolder(options) / (std::string(name) + ".fdb");
    CopyDatabaseForServer(database, copy);
    std::printf("Through the Firebird server on localhost:\n");
    const Comparison server = Compare(here, ThroughServer(copy), rows);
    server.Print(options.repeat, rows);
    std::printf("RESULT document (server, %.*s shape): document/floor time %s\n",
                static_cast<int>(name.size()), name.data(),
                Verdict(server.document / server.scan, 2.0, false).c_str());
    if (!options.keep) std::filesystem::remove(copy);
  }
}

int Run(const Options& options) {
  for (const DataShape shape : {DataShape::Standard, DataShape::Deep}) {
    if (!options.shape || options.shape == shape) MeasureShape(options, shape);
  }
  return 0;
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv) {
  return kx::bench::BenchMain(argc, argv, "kx_bench_document", kx::bench::kPurpose, kx::bench::Run);
}
