#include "kximport/ImportRun.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Language.h"
#include "kximport/DataReport.h"
#include "kximport/HostLibrary.h"
#include "kximport/ImportDocument.h"
#include "kximport/InstallationCheck.h"
#include "kximport/KeptProviderFiles.h"
#include "kximport/ProgressDisplay.h"
#include "kximport/ProviderTransfer.h"
#include "kximport/RunInterrupt.h"
#include "kximport/RunOutcome.h"
#include "kximport/RunPreflight.h"
#include "kximport/RunSummary.h"
#include "platform/AtomicFile.h"
#include "util/Cp1252.h"
#include "util/ProviderIdentity.h"
#include "util/ResultCodes.h"

namespace kximport {
namespace {

using kx::tools::Say;

// The library's progress callback has no user data: the run's display and interrupt are reached
// through these while ExportXML runs.
std::unique_ptr<ProgressDisplay> gDisplay;
RunInterrupt* gInterrupt = nullptr;

// Where the run writes its document.
std::string DocumentPath(const RunArguments& args) {
  return args.outputDir + "/" + std::string(kx::kImportFile);
}

// The option text: file lines, then the command line's, then the start ids of a previous
// document. The library takes the first line of a key, so earlier lines win.
std::string OptionText(const RunArguments& args) {
  std::vector<std::string> lines = args.fileLines;
  lines.insert(lines.end(), args.optionLines.begin(), args.optionLines.end());
  // The earlier document stays until the new one replaces it: a run that Ctrl+C ends, or that
  // fails, leaves the one a host imported last.
  lines.emplace_back("KeepEarlierDocument=TRUE");
  if (!args.continueFrom.empty()) {
    const DocumentFacts previous = ReadDocument(args.continueFrom);
    lines.push_back("startid1=" + previous.startId1);
    lines.push_back("startid2=" + previous.startId2);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The result's text. The library has none for a second clear re-import demand, so the host says
// what happened itself.
std::string ResultText(const HostLibrary& lib, int32_t result) {
  if (result == kx::kClearReimportRequired) {
    return Say(
        "Der Anbieter hat auch auf die wiederholte Anfrage eines Clear-Reimports (Start-IDs 0) erneut einen "
        "Clear-Reimport verlangt.\nEs wurde nichts importiert; bitte wenden Sie sich an den Anbieter.",
        "The provider demanded a clear re-import again after the repeated clear re-import request (start "
        "ids 0).\nNothing was imported; please contact the provider.");
  }
  return lib.ErrorText(result);
}

void KX_CALL OnProgress(int32_t kind, int32_t value, const char* text) {
  const std::string shown = kx::Cp1252ToUtf8(text);
  // After Ctrl+C the run's error lines only restate the cancel; the interrupt's line says it.
  if (gInterrupt != nullptr && gInterrupt->Interrupted() && kind == KX_PROGRESS_ERROR) return;
  gDisplay->Show(kind, value, shown);
}

// The check that looks at what this run uses.
std::string CheckCommand(const RunArguments& args) {
  std::string command = "kximport check";
  if (!args.settings.empty()) command += " --settings " + args.settings;
  return command + " --output-dir " + args.outputDir;
}

// Ctrl+C outside a transfer, on the interrupt's thread: no temporary file of this run left
// behind, the provider files put back as they were, the line, and the end of the process without
// running the database client's exit handlers in the middle of its work.
void Abandon(const RunArguments& args, const std::string& dataDir, KeptProviderFiles& kept, RunStage stage) {
  for (const std::string_view file : {kx::kHoldingsFile, kx::kTransactionsFile}) {
    unlink(kx::TemporaryPathOf(dataDir + std::string(file)).c_str());
  }
  unlink(kx::TemporaryPathOf(DocumentPath(args)).c_str());
  gDisplay->Say(
      RunInterrupt::Line(stage, stage == RunStage::After ? std::vector<std::string>() : kept.PutBack()));
  _exit(kExitInterrupted);
}

// After a successful run: what the load refused and cut (read again with the run's own reader),
// the data report and the summary when asked. Returns the exit status.
int AfterImport(const RunArguments& args, const RunPlaces& places) {
  int status = 0;
  std::vector<ProviderFileReport> reports;
  try {
    reports = AnalyzeDataDirectory(places.dataDir, places.importDb);
    if (PrintDropped(reports, places.dataDir, std::cout) > 0 && args.strict) status = kExitRefused;
    PrintNoRecords(reports, places.dataDir, std::cout);
    std::cout.flush();
  } catch (const std::exception& e) {
    std::cerr << "kximport: "
              << Say("abgewiesene Datensätze nicht gezählt: ", "refused records not counted: ") << e.what()
              << "\n";
    if (args.strict) status = kExitRefused;  // nobody can say that nothing was refused
  }
  if (args.report && !reports.empty()) {
    const std::string& dataDir = places.dataDir;
    try {
      std::ofstream text = OpenPrivateOutput(dataDir + "data_report.txt");
      WriteDataReport(reports, SIZE_MAX, text, dataDir + "data_report.json");
      std::cout << Say("Datenbericht: ", "Data report: ") << dataDir << "data_report.txt\n";
    } catch (const std::exception& e) {
      std::cerr << "kximport: " << Say("kein Datenbericht: ", "no data report: ") << e.what() << "\n";
    }
  }
  if (args.summary) {
    try {
      PrintSummary(DocumentPath(args), gDisplay->Stages(), std::cout);
    } catch (const std::exception& e) {
      std::cerr << "kximport: " << Say("keine Zusammenfassung: ", "no summary: ") << e.what() << "\n";
    }
  }
  return status;
}

// After Ctrl+C: the provider files put back unless the run had finished, and the line of what
// ended, printed once.
int Interrupted(RunInterrupt& interrupt, KeptProviderFiles& kept, int32_t result) {
  // The watcher may be ending the process with its own line at this moment.
  if (!interrupt.ClaimExit()) {
    for (;;) pause();
  }
  if (result != kx::kDownloadCancelled) {
    gDisplay->Say(RunInterrupt::Line(RunStage::After, {}));
  } else {
    gDisplay->Say(RunInterrupt::Line(interrupt.InterruptedAt(), kept.PutBack()));
  }
  return kExitInterrupted;
}

int Failed(const RunArguments& args, const HostLibrary& lib, int32_t result) {
  std::cerr << Say("Import fehlgeschlagen, Ergebnis ", "Import failed, result ") << result << ":\n";
  for (const std::string& line : FailureLines(result, ResultText(lib, result), gDisplay->Details(),
                                              CheckCommand(args), PinAskedAtTerminal(args)))
    std::cerr << line << "\n";
  return kExitFailed;
}

}  // namespace

int RunImport(const RunArguments& args) {
  if (!args.settings.empty()) setenv("VELQORA_REGISTRY", args.settings.c_str(), 1);
  const std::string options = OptionText(args);
  const RunPlaces places = PlacesOf(args.settings, args.outputDir);
  if (!Preflight(args, places.dataDir, CheckCommand(args))) return kExitFailed;

  gDisplay = std::make_unique<ProgressDisplay>(isatty(STDOUT_FILENO) != 0, args.verbose);
  gDisplay->ShowTransfer([dataDir = places.dataDir] { return BytesInTransfer(dataDir); });
  // Before the library and the database client are loaded: their threads inherit the blocked
  // SIGINT.
  KeptProviderFiles kept(places.dataDir);
  RunInterrupt interrupt([&](RunStage stage) { Abandon(args, places.dataDir, kept, stage); });
  const HostLibrary lib(args.library);
  if (lib.AppVersionCheck(KX_MIN_HOST_VERSION) != 0)
    throw UsageError(
        Say("die Bibliothek lehnt diese Host-Version ab", "the library refuses this host version"));
  if (lib.VersionInfo() != KX_VERSION_INFO)
    throw UsageError(Say("die Bibliothek hat eine andere Schnittstellenversion",
                         "the library has another interface version"));

  gInterrupt = &interrupt;
  lib.RegProgrCallback(&OnProgress);
  const std::string outputDir = ToLibraryText(args.outputDir);
  const std::string advisor = ToLibraryText(args.advisor);
  double lastImport = args.lastImport;
  const int32_t result = lib.ExportXML(outputDir.c_str(), advisor.c_str(), 0, &lastImport,
                                       args.noOptions ? nullptr : options.c_str());
  interrupt.RunEnded();
  lib.RegProgrCallback(nullptr);
  gInterrupt = nullptr;
  gDisplay->Finish(result == 0);

  if (interrupt.Interrupted()) return Interrupted(interrupt, kept, result);
  if (result != 0) return Failed(args, lib, result);
  return AfterImport(args, places);
}

}  // namespace kximport
