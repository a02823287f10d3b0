#include "provider/ImpApi_Korvalix_Messages.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "ImpApiKorvalix.h"
#include "util/Cp1252.h"
#include "util/HostBuffer.h"
#include "util/ResultCodes.h"

namespace kx {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::optional<std::string_view> DownloadText(int32_t code) {
  switch (code) {
    case kDownloadUnknown:
      return "Unbestimmter Fehler bei Internet-Zugriff"_cp1252;
    case kDownloadNoSession:
      return "Internet-Fehler: Session nicht verfügbar"_cp1252;
    case kDownloadOpenFailed:
      return "Internet-Fehler: Öffnen der URL fehlgeschlagen"_cp1252;
    case kDownloadDenied:
      return "Internet-Fehler: Zugriff auf Seite verweigert"_cp1252;
    case kDownloadNotFound:
      return "Internet-Fehler: Seite nicht gefunden"_cp1252;
    case kDownloadOtherStatus:
      return "Internet-Fehler: Zugriff auf URL fehlgeschlagen"_cp1252;
    case kDownloadIncomplete:
      return "Internet-Fehler: Datei unvollständig übertragen"_cp1252;
    case kDownloadOverloaded:
      return "Internet-Fehler: Server überlastet. Bitte später erneut versuchen"_cp1252;
    case kDownloadProxyAuth:
      return "Proxy-Fehler: Authentifizierung erforderlich"_cp1252;
    case kDownloadCancelled:
      return "Download durch Benutzer abgebrochen"_cp1252;
    default:
      return std::nullopt;
  }
}

std::string Join(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

std::optional<std::string> RunText(int32_t code, const ProviderValues& values) {
  const std::string& x = values.LastProviderErrorText;
  const std::string n = std::to_string(values.LastProviderErrorCode);
  constexpr std::string_view kRetrieval = "Fehler bei KORVALIX-Datenabruf: ";
  switch (code) {
    case kNoOptionText:
      return Join({"Keine KORVALIX-Zugangsdaten erfasst.", kCrLf,
                   "Erfassen Sie bitte die KORVALIX-Zugangsdaten in der Beraterverwaltung."});
    case kNoLogin:
      return Join({"Die Login-ID des Vermittlers fehlt in den KORVALIX-Zugangsdaten.", kCrLf,
                   "Erfassen Sie bitte die Login-ID in der Beraterverwaltung."});
    case kNoAdvisorCentre:
      return Join({"Die Nummer der Vermittlerzentrale fehlt in den KORVALIX-Zugangsdaten.", kCrLf,
                   "Erfassen Sie bitte die Nummer der Vermittlerzentrale in der Beraterverwaltung."});
    case kBadAdvisorNumber:
      return Join(
          {"Fehlerhafte Vermittlernummer: ", x, kCrLf,
           "Die Haupt-Vermittlernummer muss eine höchstens 12-stellige Zahl sein !"_cp1252, kCrLf,
           std::string_view("Korrigieren Sie bitte Ihre Vermittlernummer = Berater-Referenznummer in der "
                            "Beraterverwaltung."),
           kCrLf,
           "Beachten Sie hierzu die Anleitung, die Sie über \"... bearbeiten\", Button "
           "\"Anleitung\" abrufen können."_cp1252});
    case kPinCancelled:
      return std::string("Fehlendes Zugangs-Passwort; Abbruch durch Benutzer.");
    case kHoldingsEncodingFailed:
    case kTransactionsEncodingFailed:
      return Join({"Fehler beim Codieren der Datenabfrage: Errorcode = ", n});
    case kUnzipFailed:
      return Join({"Fehler beim Entpacken des zip-Archivs: Datei = ", x});
    case kNoCustomersOnFirstImport:
      return Join({kCrLf,
                   "Der Erst-Import liefert keine Kundendaten für den angegebenen KORVALIX "
                   "Benutzernamen."_cp1252,
                   kCrLf, "Es wurden keine Kundendaten importiert."});
    case kImportFileFailed:
      return std::string("Fehler beim Erstellen der XML-Import-Datei.");
    case kProviderError:
    case kProviderError20:
    case kProviderError30:
    case kProviderError50:
      return Join({kRetrieval, x, "; Errorcode = ", n});
    case kProviderAccessDenied:
      return Join({kRetrieval, "KORVALIX-Zugangsdaten (Login, PIN) fehlerhaft; Errorcode = ", n});
    case kProviderInterfaceOutdated:
      return Join({kRetrieval, x, "; Errorcode = ", n, kCrLf,
                   "Bitte Update der KORVALIX-Schnittstelle installieren."});
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> ExportErrorText(int32_t code, const ProviderValues& values) {
  if (std::optional<std::string_view> text = DownloadText(code)) return std::string(*text);
  return RunText(code, values);
}

void CopyErrorText(const std::string& text, char* buffer) {
  CopyZeroTerminated(text, buffer, KX_ERROR_TEXT_BUFFER_SIZE - 1);
}

}  // namespace kx
