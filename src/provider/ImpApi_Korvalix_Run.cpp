#include "provider/ImpApi_Korvalix_Run.h"

#include <memory>

#include "provider/ImpApi_Korvalix_Request.h"
#include "provider/ImpApi_Korvalix_Settings.h"
#include "util/Cp1252.h"
#include "util/Error.h"
#include "util/ProviderIdentity.h"
#include "util/ResultCodes.h"

namespace kx {

RunInputs ReadRunOptions(const char* optionText) {
  const RunOptions options(optionText);
  RunInputs in;
  in.EmbeddedServer = options.Switch("EmbeddedIBServer");
  in.NoMessageBoxes = options.Switch("NoMessageBoxes");
  in.KeepEarlierDocument = options.Switch("KeepEarlierDocument");
  in.Login = options.Value("UserLogin");
  in.Pin = options.Value("Password");
  in.StartId1 = options.StartId("startid1");
  in.StartId2 = options.StartId("startid2");
  return in;
}

namespace {

// Steps of one run after the options are read; each returns 0 to go on or the run's result.
class ImportRun {
 public:
  ImportRun(RunServices& services, const RunArguments& args, std::string dataDir)
      : s_(services), args_(args), dataDir_(std::move(dataDir)) {}

  int32_t Run(RunInputs in) {
    in_ = std::move(in);
    if (!in_.EmbeddedServer) {
      const std::string error = s_.Server.StartInterBaseServer();
      if (!error.empty()) {
        s_.Progress.Send(KX_PROGRESS_STATUS, 0, error);
        return kImportFileFailed;
      }
    }
    if (in_.Login.empty()) return kNoLogin;
    if (in_.Pin.empty() && !s_.Ui.AskPin(kProviderName, in_.Login, in_.Pin)) return kPinCancelled;

    // Taken after the checks above, so that they answer as before whether or not the directory
    // exists, and before anything is shown, fetched or written, so that a refused run touches
    // nothing. Held until the document is written, released on every way out.
    const std::unique_ptr<FileLock> lock = LockDataDir();
    if (!lock) {
      s_.Progress.Send(KX_PROGRESS_ERROR, 0,
                       "Im Datenverzeichnis " + dataDir_ + std::string(" läuft bereits ein Import."_cp1252));
      return kImportFileFailed;
    }

    const bool firstImport = *args_.LastImport == 0.0;
    if (firstImport) {
      if (!in_.NoMessageBoxes) {
        s_.Ui.ShowInformation("Information",
                              "Der Erst-Import umfasst eine grosse Zahl von Depotdaten.\r"
                              "Dieser Vorgang kann eventuell einige Minuten dauern.");
      }
      s_.Progress.Send(KX_PROGRESS_LOG, 0, "Erst-Import für Berater-Referenz"_cp1252);
    }
    s_.Progress.Send(KX_PROGRESS_STATUS, 1, "Daten abrufen ...");
    s_.Progress.Enter(RunStage::BeforeAnswer);
    importDate_ = s_.Clock.Today();

    if (int32_t result = FetchHoldings(); result != 0) return result;
    s_.Progress.Send(KX_PROGRESS_POSITION, 5, "");
    if (int32_t result = FetchTransactions(firstImport); result != 0) return result;
    return Generate();
  }

 private:
  // The data directory's lock, or nullptr when another run holds it. A directory that is missing
  // or not writable ends the run here, with a line that names it.
  std::unique_ptr<FileLock> LockDataDir() {
    try {
      return s_.Locks.TryLock(dataDir_ + std::string(kImportLockFile));
    } catch (const FileError& error) {
      throw FileError("Das Datenverzeichnis " + dataDir_ +
                          std::string(" fehlt oder ist nicht beschreibbar ("_cp1252) + error.what() + ").",
                      error.Path());
    }
  }

  // Encodes the request and fetches the file; encodingFailure is the result when encoding fails.
  int32_t Fetch(std::string requestText, std::string_view fileName, int32_t encodingFailure) {
    std::string plainCopy;
    const int32_t code = EncodeRequest(s_.Des, requestText, plainCopy);
    s_.Values.LastProviderErrorCode = code;
    if (code != 0) return encodingFailure;
    const std::string url = s_.Values.serviceUrl + "?params=" + requestText;
    return s_.Fetcher.FetchProviderFile(url, fileName, plainCopy, dataDir_);
  }

  int32_t FetchHoldings() {
    return Fetch(HoldingsRequestText(in_.Login, in_.Pin), kHoldingsFile, kHoldingsEncodingFailed);
  }

  int32_t FetchTransactions(bool firstImport) {
    const int reimport = firstImport ? 1 : 0;
    int32_t result = Fetch(TransactionsRequestText(in_.Login, in_.Pin, in_.StartId1, in_.StartId2, reimport),
                           kTransactionsFile, kTransactionsEncodingFailed);
    if (result == kClearReimportRequired) {
      s_.Progress.Send(KX_PROGRESS_LOG, 0,
                       "Clear-Reimport erforderlich: Importierte Depots werden neu erzeugt.");
      clearReimport_ = true;
      s_.Values.LastProviderErrorCode = 0;
      // One repeat only: a second demand for a clear re-import ends the run with it.
      result = Fetch(TransactionsRequestText(in_.Login, in_.Pin, "0", "0", 1), kTransactionsFile,
                     kTransactionsEncodingFailed);
    }
    return result;
  }

  int32_t Generate() {
    s_.Progress.Send(KX_PROGRESS_POSITION, 10, "");
    s_.Progress.Enter(RunStage::Load);
    s_.Values.LastProviderErrorText = args_.AdvisorRef;
    GenerateImportArgs generate;
    generate.DataDir = dataDir_;
    generate.ClearReimport = clearReimport_;
    generate.ImportDb = s_.Values.ImportDB;
    generate.ImportDate = importDate_;
    generate.LastImport = *args_.LastImport;
    generate.OutputDir = args_.OutputDir;
    generate.AdvisorRef = args_.AdvisorRef;
    generate.WaitSeconds = s_.Values.Timeout;
    generate.NameClientFile = s_.Values.DebugMode > 0;
    generate.Earlier =
        in_.KeepEarlierDocument ? EarlierDocument::KeptUntilReplaced : EarlierDocument::Removed;
    return s_.Generator.GenerateImport(generate);
  }

  RunServices& s_;
  const RunArguments& args_;
  const std::string dataDir_;
  RunInputs in_;
  DateTime importDate_ = 0;
  bool clearReimport_ = false;
};

}  // namespace

std::string DefaultDataDir(std::string_view outputDir) {
  std::string dir(outputDir);
  if (const std::size_t pos = FindIgnoreCase1252(dir, "xml_temp"); pos != std::string::npos)
    dir.erase(pos, 8);
  dir += "KORVALIX";
  dir += kPathDelimiter;
  return dir;
}

std::string RunDataDir(std::string_view dataDirSetting, std::string_view outputDir) {
  return dataDirSetting.empty() ? DefaultDataDir(outputDir) : std::string(dataDirSetting);
}

int32_t RunImportWith(RunServices& services, const RunArguments& args) {
  ProviderValues& values = services.Values;
  values.serviceUrl = std::string(kDefaultServiceUrl);
  values.DebugMode = 0;

  const std::string dataDirSetting = ReadImportSettings(services.Settings, values);
  std::string dataDir = RunDataDir(dataDirSetting, args.OutputDir);
  if (!dataDirSetting.empty()) services.Progress.Send(KX_PROGRESS_LOG, 0, "DataDir = " + dataDir);
  if (args.OptionText == nullptr) return kNoOptionText;
  return ImportRun(services, args, std::move(dataDir)).Run(ReadRunOptions(args.OptionText));
}

}  // namespace kx
