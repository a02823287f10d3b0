#include "provider/ImpApi_Korvalix_Messages.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "frame/Cp1252.h"
#include "frame/ImpApiMain.h"

namespace kx {
namespace {

constexpr std::string_view kCrLf = "\r\n";

std::optional<std::string_view> DownloadText(int32_t code) {
  switch (code) {
    case -1: return "Unbestimmter Fehler bei Internet-Zugriff"_cp1252;
    case -2: return "Internet-Fehler: Session nicht verfügbar"_cp1252;
    case -3: return "Internet-Fehler: Öffnen der URL fehlgeschlagen"_cp1252;
    case -4: return "Internet-Fehler: Zugriff auf Seite verweigert"_cp1252;
    case -5: return "Internet-Fehler: Seite nicht gefunden"_cp1252;
    case -6: return "Internet-Fehler: Zugriff auf URL fehlgeschlagen"_cp1252;
    case -7: return "Internet-Fehler: Datei unvollständig übertragen"_cp1252;
    case -8: return "Internet-Fehler: Server überlastet. Bitte später erneut versuchen"_cp1252;
    case -9: return "Proxy-Fehler: Authentifizierung erforderlich"_cp1252;
    case -1015: return "Download durch Benutzer abgebrochen"_cp1252;
    default: return std::nullopt;
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
    case -11:
      return Join({"Keine KORVALIX-Zugangsdaten erfasst.", kCrLf,
                   "Erfassen Sie bitte die KORVALIX-Zugangsdaten in der Beraterverwaltung."});
    case -12:
      return Join({"Die Login-ID des Vermittlers fehlt in den KORVALIX-Zugangsdaten.", kCrLf,
                   "Erfassen Sie bitte die Login-ID in der Beraterverwaltung."});
    case -13:
      return Join({"Die Nummer der Vermittlerzentrale fehlt in den KORVALIX-Zugangsdaten.", kCrLf,
                   "Erfassen Sie bitte die Nummer der Vermittlerzentrale in der Beraterverwaltung."});
    case -14:
      return Join({"Fehlerhafte Vermittlernummer: ", x, kCrLf,
                   "Die Haupt-Vermittlernummer muss eine höchstens 12-stellige Zahl sein !"_cp1252, kCrLf,
                   "Korrigieren Sie bitte Ihre Vermittlernummer = Berater-Referenznummer in der "
                   "Beraterverwaltung.",
                   kCrLf,
                   "Beachten Sie hierzu die Anleitung, die Sie über \"... bearbeiten\", Button "
                   "\"Anleitung\" abrufen können."_cp1252});
    case -15:
      return std::string("Fehlendes Zugangs-Passwort; Abbruch durch Benutzer.");
    case -21:
    case -22:
      return Join({"Fehler beim Codieren der Datenabfrage: Errorcode = ", n});
    case -23:
      return Join({"Fehler beim Entpacken des zip-Archivs: Datei = ", x});
    case -28:
      return Join({kCrLf,
                   "Der Erst-Import liefert keine Kundendaten für den angegebenen KORVALIX "
                   "Benutzernamen."_cp1252,
                   kCrLf, "Es wurden keine Kundendaten importiert."});
    case -29:
      return std::string("Fehler beim Erstellen der XML-Import-Datei.");
    case -30:
    case -32:
    case -33:
    case -35:
      return Join({kRetrieval, x, "; Errorcode = ", n});
    case -31:
      return Join({kRetrieval, "KORVALIX-Zugangsdaten (Login, PIN) fehlerhaft; Errorcode = ", n});
    case -34:
      return Join({kRetrieval, x, "; Errorcode = ", n, kCrLf, "Bitte Update der KORVALIX-Schnittstelle installieren."});
    default:
      return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> ExportErrorText(int32_t code, const ProviderValues& values) {
  if (std::optional<std::string_view> text = DownloadText(code)) return std::string(*text);
  return RunText(code, values);
}

void CopyErrorText(const std::string& text, char* buffer) { CopyZeroTerminated(text, buffer, kErrorTextBufferSize - 1); }

}  // namespace kx
