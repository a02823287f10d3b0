// kx_bench_load: the staging load as GenerateImport runs it (TCsvImport through TableInserter,
// with its row filter and progress handler) against its floor, the same rows already split and
// converted, inserted through the same prepared statements in one transaction.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>

#include "BenchSupport.h"
#include "LoadFloor.h"
#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "staging/StagingSql.h"

namespace kx::bench {
namespace {

constexpr std::string_view kPurpose =
    "Loads the provider files into an embedded staging database twice per repetition: through\n"
    "the importer as GenerateImport runs it, and as the floor (pre-converted rows through the\n"
    "same prepared inserts, one row per execute). With --server the same again through the\n"
    "Firebird server, where the importer sends its rows in batches.\n"
    "Targets: importer throughput >= 0.95 x the floor embedded, >= 2.5 x through the server; peak\n"
    "RSS of the importer <= 2 x the larger file + 64 MiB.";

std::map<std::string, double> MeasureImporter(const std::filesystem::path& work, const DatabasePlace& place,
                                              const std::filesystem::path& data, const gen::Counts& counts) {
  const std::string database = place.Prepare(work / "template.fdb", "importer.fdb");
  std::map<std::string, double> values = LoadLikeGenerateImport(data, database);
  if (CountRows(database, "BESTAENDE") != static_cast<int64_t>(counts.holdingsRows) ||
      CountRows(database, "TRANSAKTIONEN") != static_cast<int64_t>(counts.acceptedTransactionRows)) {
    throw std::runtime_error("the importer loaded other row counts than the generator wrote");
  }
  return values;
}

std::map<std::string, double> MeasureFloor(const std::filesystem::path& work, const DatabasePlace& place,
                                           const std::filesystem::path& data, const gen::Counts& counts) {
  const std::string database = place.Prepare(work / "template.fdb", "floor.fdb");
  const db::ClientLibrary client;
  db::Connection connection(client, database);
  db::Transaction transaction(connection);
  transaction.Start();
  const Clock::time_point converting = Clock::now();
  const RowBatch holdings =
      ConvertLikeTheImporter(transaction, staging_sql::InsertBestand(), (data / "bestandsdaten.csv").string(),
                             (data / "BESTAND.txt").string(), false);
  const RowBatch transactions = ConvertLikeTheImporter(transaction, staging_sql::InsertTransakt(),
                                                       (data / "transaktionsdaten.csv").string(),
                                                       (data / "TRANSAKT.txt").string(), true);
  if (holdings.Rows() != counts.holdingsRows || transactions.Rows() != counts.acceptedTransactionRows) {
    throw std::runtime_error("the converted rows do not match the generator's counts");
  }
  const double convertSeconds = SecondsSince(converting);

  const double cpu = ProcessCpuSeconds();
  const Clock::time_point start = Clock::now();
  InsertRows(transaction, staging_sql::InsertBestand(), holdings);
  const double holdingsSeconds = SecondsSince(start);
  const Clock::time_point middle = Clock::now();
  InsertRows(transaction, staging_sql::InsertTransakt(), transactions);
  transaction.Commit();
  const double transactionsSeconds = SecondsSince(middle);
  return {{"holdings_s", holdingsSeconds},
          {"transactions_s", transactionsSeconds},
          {"load_s", SecondsSince(start)},
          {"load_cpu", ProcessCpuSeconds() - cpu},
          {"convert_s", convertSeconds}};
}

struct Best {
  double holdings = 1e30, transactions = 1e30, load = 1e30, cpu = 1e30, rss = 0;
  void Take(const PhaseResult& r) {
    cpu = std::min(cpu, r["load_cpu"]);
    holdings = std::min(holdings, r["holdings_s"]);
    transactions = std::min(transactions, r["transactions_s"]);
    load = std::min(load, r["load_s"]);
    rss = std::max(rss, r.peakRssMiB);
  }
};

void PrintSeconds(std::string_view label, double seconds, double rows) {
  char text[96];
  std::snprintf(text, sizeof text, "%8.2f s  %s", seconds, Rate(rows, seconds).c_str());
  PrintRow(label, text);
}

// The importer and its floor, each measured options.repeat times in turn.
struct Comparison {
  Best importer;
  Best floor;

  void Print(int repeat, double holdingsRows, double transactionRows) const {
    std::printf("Best of %d:\n", repeat);
    PrintSeconds("floor, holdings", floor.holdings, holdingsRows);
    PrintSeconds("floor, transactions", floor.transactions, transactionRows);
    PrintSeconds("floor, both", floor.load, holdingsRows + transactionRows);
    PrintSeconds("importer, holdings", importer.holdings, holdingsRows);
    PrintSeconds("importer, transactions + ids", importer.transactions, transactionRows);
    PrintSeconds("importer, both", importer.load, holdingsRows + transactionRows);
    char text[128];
    std::snprintf(text, sizeof text, "holdings %.2f, transactions %.2f", floor.holdings / importer.holdings,
                  floor.transactions / importer.transactions);
    PrintRow("ratio importer/floor by table", text);
    std::snprintf(text, sizeof text, "%.2f (%.2f s / %.2f s)", floor.cpu / importer.cpu, floor.cpu,
                  importer.cpu);
    PrintRow("ratio importer/floor by CPU time", text);
    std::snprintf(text, sizeof text, "%.0f MiB (floor process %.0f MiB)", importer.rss, floor.rss);
    PrintRow("peak RSS, importer", text);
  }
};

Comparison Compare(const Options& options, const DatabasePlace& place, const std::filesystem::path& data,
                   const gen::Counts& counts) {
  Comparison c;
  auto measureImporter = [&](int rep) {
    const PhaseResult r =
        RunInChild("importer", [&] { return MeasureImporter(options.work, place, data, counts); },
                   {place.File("importer.fdb")});
    c.importer.Take(r);
    std::printf("  run %d importer %6.2f s (CPU %6.2f s), RSS %.0f MiB\n", rep + 1, r["load_s"],
                r["load_cpu"], r.peakRssMiB);
  };
  auto measureFloor = [&](int rep) {
    const PhaseResult r = RunInChild("floor", [&] { return MeasureFloor(options.work, place, data, counts); },
                                     {place.File("floor.fdb")});
    c.floor.Take(r);
    std::printf("  run %d floor    %6.2f s (CPU %6.2f s; conversion before it %.2f s), RSS %.0f MiB\n",
                rep + 1, r["load_s"], r["load_cpu"], r["convert_s"], r.peakRssMiB);
  };
  Interleave(options.repeat, measureImporter, measureFloor);
  return c;
}

int Run(const Options& options) {
  const std::filesystem::path data = options.work / "data";
  std::printf("Load benchmark (%s data set), %s\n", options.large ? "large" : "small", MachineText().c_str());
  const gen::Counts counts = WriteProviderFiles(data, options.large);
  CopyColumnMaps(data);
  const double holdingsRows = static_cast<double>(counts.holdingsRows);
  const double transactionRows = static_cast<double>(counts.acceptedTransactionRows);
  const double fileMiB =
      static_cast<double>(std::max(std::filesystem::file_size(data / "bestandsdaten.csv"),
                                   std::filesystem::file_size(data / "transaktionsdaten.csv"))) /
      (1024.0 * 1024.0);
  std::printf(
      "  %llu holdings rows, %llu transaction lines (%llu kept by the row filter), larger file %.1f MiB\n",
      static_cast<unsigned long long>(counts.holdingsRows),
      static_cast<unsigned long long>(counts.transactionRows),
      static_cast<unsigned long long>(counts.acceptedTransactionRows), fileMiB);
  RunInChild("create database", [&] {
    CreateStagingDatabase((options.work / "template.fdb").string());
    return std::map<std::string, double>{};
  });

  const Comparison embedded = Compare(options, {options.work, false}, data, counts);
  embedded.Print(options.repeat, holdingsRows, transactionRows);
  const double rssLimit = 2 * fileMiB + 64;
  std::printf("RESULT load: importer/floor throughput %s; RSS %.0f MiB / limit %.0f MiB: %s\n",
              Verdict(embedded.floor.load / embedded.importer.load, 0.95, true).c_str(),
              embedded.importer.rss, rssLimit, embedded.importer.rss <= rssLimit ? "met" : "MISSED");
  if (options.server) {
    std::printf("Through the Firebird server on localhost:\n");
    const Comparison server = Compare(options, {ServerFolder(options), true}, data, counts);
    server.Print(options.repeat, holdingsRows, transactionRows);
    std::printf("RESULT load (server): importer/one-row-per-execute floor throughput %s\n",
                Verdict(server.floor.load / server.importer.load, 2.5, true).c_str());
  }
  return 0;
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv) {
  return kx::bench::BenchMain(argc, argv, "kx_bench_load", kx::bench::kPurpose, kx::bench::Run);
}
