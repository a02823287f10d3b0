#include "kximport/RunSummary.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "Language.h"
#include "kximport/ImportDocument.h"
#include "util/Cp1252.h"

namespace kximport {
namespace {

using kx::tools::Say;

// One value, its label padded so that the values stand in one column.
void Line(std::ostream& out, const std::string& label, const std::string& value) {
  constexpr std::size_t kWidth = 20;
  out << "  " << label << std::string(label.size() < kWidth ? kWidth - label.size() : 1, ' ') << value
      << "\n";
}

void Count(std::ostream& out, const std::string& label, int64_t n) { Line(out, label, std::to_string(n)); }

}  // namespace

void PrintSummary(const std::string& documentPath, const std::vector<ProgressDisplay::Stage>& stages,
                  std::ostream& out) {
  const DocumentFacts facts = ReadDocument(documentPath);
  out << "\n"
      << Say("Importdatei: ", "Import file: ") << documentPath << " (" << facts.bytes
      << Say(" Bytes)\n", " bytes)\n");
  Count(out, Say("Kunden", "customers"), facts.customers);
  Count(out, Say("Depots", "depots"), facts.depots);
  Count(out, Say("Positionen", "positions"), facts.positions);
  Count(out, Say("Transaktionen", "transactions"), facts.transactions - facts.balances);
  Count(out, Say("Bestandsbuchungen", "balance entries"), facts.balances);
  if (!facts.startId1.empty() || !facts.startId2.empty()) {
    Line(out, Say("Start-IDs", "start ids"),
         kx::Cp1252ToUtf8(facts.startId1) + " / " + kx::Cp1252ToUtf8(facts.startId2));
  }
  out << Say("Schritte:", "Stages:") << "\n";
  for (const ProgressDisplay::Stage& stage : stages) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%8.2f s", stage.seconds);
    out << "  " << seconds << "  " << stage.label << "\n";
  }
}

}  // namespace kximport
