#include "kximport/RunOutcome.h"

#include <algorithm>
#include <array>
#include <utility>

#include "Language.h"
#include "util/ProviderIdentity.h"
#include "util/ResultCodes.h"

namespace kximport {
namespace {

using kx::tools::Say;

// Results whose cause kximport check names: the settings, the provider's address (name,
// connection, certificate, proxy), the data directory, the maps and the database.
constexpr std::array<int32_t, 8> kFoundByCheck = {
    kx::kDownloadUnknown,     kx::kDownloadNoSession, kx::kDownloadOpenFailed, kx::kDownloadNotFound,
    kx::kDownloadOtherStatus, kx::kDownloadProxyAuth, kx::kImportFileFailed,   kx::kDownloadOverloaded};

// The library's texts for these two address the host's user (its advisor administration, a
// cancel button); on the command line the access data come from options.
std::string OwnText(int32_t result, const std::string& libraryText, bool pinAsked) {
  if (result == kx::kNoLogin)
    return Say("Keine Login-ID: mit --login ID angeben.", "No login ID: give it with --login ID.");
  if (result == kx::kPinCancelled && pinAsked) {
    return Say(
        "Keine PIN eingegeben: die Abfrage am Terminal blieb leer. Die PIN dort eingeben oder mit --pin-file "
        "DATEI (\"-\": Standardeingabe) oder der Umgebungsvariablen KX_PIN angeben.",
        "No PIN entered: the prompt at the terminal was left empty. Type it there, or give it with "
        "--pin-file "
        "FILE (\"-\": standard input) or the environment variable KX_PIN.");
  }
  if (result == kx::kPinCancelled) {
    return Say(
        "Keine PIN: mit --pin-file DATEI (\"-\": Standardeingabe) oder der Umgebungsvariablen KX_PIN "
        "angeben; ohne Terminal kann sie nicht erfragt werden.",
        "No PIN: give it with --pin-file FILE (\"-\": standard input) or the environment variable KX_PIN; "
        "without a terminal it cannot be asked for.");
  }
  return libraryText;
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The error log of the load that reads this provider file.
std::string ErrorLogOf(const std::string& path) {
  return std::string(FileName(path) == kx::kHoldingsFile ? kx::kHoldingsLog : kx::kTransactionsLog);
}

std::string Count(int64_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::vector<std::string> FailureLines(int32_t result, const std::string& libraryText,
                                      const std::vector<std::string>& details,
                                      const std::string& checkCommand, bool pinAsked) {
  std::vector<std::string> lines = {OwnText(result, libraryText, pinAsked)};
  for (std::string detail : details) {  // lines of one message indented alike
    for (std::size_t p = detail.find('\n'); p != std::string::npos; p = detail.find('\n', p + 1)) {
      detail.insert(p + 1, "  ");
    }
    std::erase(detail, '\r');
    lines.push_back("  " + detail);
  }
  if (std::find(kFoundByCheck.begin(), kFoundByCheck.end(), result) != kFoundByCheck.end()) {
    lines.push_back("→ " + checkCommand);
  } else if (result == kx::kDownloadDenied || result == kx::kProviderAccessDenied) {
    lines.push_back("→ " + checkCommand + " --deep --login ID");
  }
  return lines;
}

int64_t PrintDropped(const std::vector<ProviderFileReport>& reports, const std::string& dataDir,
                     std::ostream& out) {
  int64_t refused = 0;
  for (const ProviderFileReport& report : reports) {
    int64_t cuts = 0;
    for (const auto& [column, n] : report.cutsByColumn) cuts += n;
    refused += report.refused;
    if (report.refused == 0 && cuts == 0) continue;
    out << Say("Nicht übernommen aus ", "Not taken over from ") << FileName(report.path) << ": ";
    if (report.refused > 0) {
      out << Count(report.refused, Say("Datensatz abgewiesen", "record refused"),
                   Say("Datensätze abgewiesen", "records refused"))
          << " (" << dataDir << ErrorLogOf(report.path) << ")";
    }
    if (report.refused > 0 && cuts > 0) out << ", ";
    if (cuts > 0) {
      out << Count(cuts, "Text", Say("Texte", "texts"))
          << Say(" auf ihre Spalte gekürzt", " cut to their column") << " (kximport check --data)";
    }
    out << "\n";
  }
  return refused;
}

void PrintNoRecords(const std::vector<ProviderFileReport>& reports, const std::string& dataDir,
                    std::ostream& out) {
  for (const ProviderFileReport& report : reports) {
    if (FileName(report.path) != kx::kHoldingsFile) continue;
    const auto nulls = report.nullsByColumn.find("VERBERNR");
    const int64_t usable = report.stored - (nulls == report.nullsByColumn.end() ? 0 : nulls->second);
    if (usable > 0) return;
    const std::string file(kx::kHoldingsFile);
    out << (report.records == 0
                ? Say("Die Antwort des Anbieters enthielt keine Datensätze (" + file + " hat keinen).",
                      "The provider's answer held no records (" + file + " has none).")
                : Say("Die Antwort des Anbieters enthielt keine Bestandsdaten: " +
                          Count(report.records, "Zeile", "Zeilen") + " in " + file +
                          ", keine mit einer Vermittlernummer (VERBERNR).",
                      "The provider's answer held no holdings: " + Count(report.records, "line", "lines") +
                          " in " + file + ", none with an advisor number (VERBERNR)."))
        << "\n→ kximport check --data " << dataDir << "\n";
    return;
  }
}

}  // namespace kximport
