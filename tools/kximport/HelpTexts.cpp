#include "kximport/HelpTexts.h"

#include <initializer_list>

#include "Language.h"

namespace kximport {
namespace {

using kx::tools::Say;

// Each text in German, then in English.

const char* const kCheckUsageDe =
    "Aufruf: kximport check [--settings DATEI] [--output-dir VERZ] [--deep --login ID [--pin-file DATEI]]\n"
    "        kximport check --data [VERZ] [--settings DATEI] [--output-dir VERZ] [--json DATEI] [--max "
    "N]\n\n";
const char* const kCheckUsageEn =
    "Usage: kximport check [--settings FILE] [--output-dir DIR] [--deep --login ID [--pin-file FILE]]\n"
    "       kximport check --data [DIR] [--settings FILE] [--output-dir DIR] [--json FILE] [--max N]\n\n";
const char* const kAccessDataUsageDe =
    "Aufruf: kximport access-data [--user NAME] [--password PIN] [--library PFAD]\n\n";
const char* const kAccessDataUsageEn =
    "Usage: kximport access-data [--user NAME] [--password PIN] [--library PATH]\n\n";

const char* const kRunDe = R"(Aufruf: kximport --output-dir VERZ [Optionen]
        kximport access-data [--user NAME] [--password PIN] [--library PFAD]
        kximport check [--settings DATEI] [--output-dir VERZ] [--deep --login ID [--pin-file DATEI]]
        kximport check --data [VERZ] [--settings DATEI] [--output-dir VERZ] [--json DATEI] [--max N]

Führt einen Import mit der Plug-in-Bibliothek aus: die Dateien des Anbieters werden abgerufen, in
die Staging-Datenbank geladen, und VERZ/KORVALIX.XML wird geschrieben.

Optionen:
  --output-dir VERZ        das Verzeichnis des Hosts für die Importdatei (Pflicht)
  --advisor REF            die Beraterreferenz dieses Imports (Vorgabe: leer)
  --last-import WERT       der Wert des vorigen Imports beim Host; 0 (die Vorgabe) ist ein
                           Erstimport
  --continue-from DATEI    eine frühere KORVALIX.XML: ihre Start-IDs werden die Optionen startid1
                           und startid2, so wie ein Host einen früheren Import fortsetzt
  --login ID               die Login-ID beim Anbieter (Option UserLogin)
  --pin-file DATEI         die PIN beim Anbieter (Option Password): die erste Zeile von DATEI,
                           bei "-" der Standardeingabe
  --pin PIN                die PIN auf der Befehlszeile, nur für Tests: jeder Benutzer des
                           Rechners sieht sie in der Prozessliste
  --embedded-server        der Host betreibt die Datenbank selbst (Option EmbeddedIBServer=TRUE)
  --no-message-boxes       kein Hinweis beim Erstimport (Option NoMessageBoxes=TRUE)
  --option NAME=WERT       eine weitere Zeile des Optionstexts; wiederholbar
  --options-file DATEI     Optionszeilen aus einer Datei, vor allen anderen Optionen
  --no-options             gar keinen Optionstext übergeben (die Bibliothek antwortet -11)
  --settings DATEI         die Einstellungen der Bibliothek: eine REGEDIT4-Datei (setzt
                           VELQORA_REGISTRY)
  --library PFAD           die Plug-in-Bibliothek (Vorgabe: libImpApiKorvalix.so neben kximport,
                           sonst die installierte ../lib/impapikorvalix/libImpApiKorvalix.so)
  --verbose                auch die Protokollzeilen der Bibliothek zeigen
  --summary                nach einem erfolgreichen Import: was die Datei enthält und die Zeiten
                           der Schritte
  --report                 nach dem Import: der Datenbericht von check --data, neben die
                           Fehlerprotokolle geschrieben (data_report.txt, data_report.json)
  --strict                 Exit-Status 3, wenn der Import Datensätze abgewiesen hat
  --help                   dieser Text
  --version                die Version

Ist die Standardausgabe ein Terminal, wird ein Fortschrittsbalken gezeichnet (während einer
Übertragung mit den schon empfangenen Bytes der Datei), sonst schlichte Zeilen. Fehlerzeilen und die abschließende Meldung gehen auf die Standardfehlerausgabe. Texte
werden hier zwischen dem UTF-8 des Terminals und dem Windows-1252 der Bibliothek umgewandelt.

Ohne --pin-file und --pin kommt die PIN aus der Umgebungsvariablen KX_PIN, ohne diese fragt die
Bibliothek im Terminal danach.

)";
const char* const kRunEn = R"(Usage: kximport --output-dir DIR [options]
       kximport access-data [--user NAME] [--password PIN] [--library PATH]
       kximport check [--settings FILE] [--output-dir DIR] [--deep --login ID [--pin-file FILE]]
       kximport check --data [DIR] [--settings FILE] [--output-dir DIR] [--json FILE] [--max N]

Runs one import through the plug-in library: the provider files are fetched, loaded into the
staging database, and DIR/KORVALIX.XML is written.

Options:
  --output-dir DIR         the host's directory for the import file (required)
  --advisor REF            the advisor reference of this import (default: empty)
  --last-import VALUE      the host's previous-import value; 0 (the default) is a first import
  --continue-from FILE     a previous KORVALIX.XML: its start ids become the options startid1
                           and startid2, the way a host continues an earlier import
  --login ID               the provider login (option UserLogin)
  --pin-file FILE          the provider PIN (option Password): the first line of FILE, or of
                           standard input for "-"
  --pin PIN                the PIN on the command line, for tests only: every user of the
                           machine sees it in the process list
  --embedded-server        the host runs the database itself (option EmbeddedIBServer=TRUE)
  --no-message-boxes       no first-import notice (option NoMessageBoxes=TRUE)
  --option NAME=VALUE      one more line of the option text; may be repeated
  --options-file FILE      option lines from a file, before all other options
  --no-options             pass no option text at all (the library answers -11)
  --settings FILE          the library's settings: a REGEDIT4 file (sets VELQORA_REGISTRY)
  --library PATH           the plug-in library (default: libImpApiKorvalix.so beside kximport,
                           else the installed ../lib/impapikorvalix/libImpApiKorvalix.so)
  --verbose                show the library's log lines too
  --summary                after a successful import: what the file holds and the stages' times
  --report                 after the import: the data report of check --data, written beside the
                           error logs (data_report.txt, data_report.json)
  --strict                 exit status 3 when the import refused records
  --help                   this text
  --version                the version

A progress bar is drawn when standard output is a terminal (during a transfer with the bytes of
the file received so far), plain lines otherwise. Error lines
and the final message go to standard error. Texts are converted between the terminal's UTF-8
and the library's Windows-1252 here.

Without --pin-file or --pin the PIN comes from the environment variable KX_PIN, and without
that the library asks for it on the terminal.

)";

const char* const kCheckDe =
    R"(check prüft eine Installation so, wie ein Lauf sie nutzen würde, und gibt je Punkt eine Zeile
aus, mit dem, was zu tun ist, wo etwas nicht stimmt: die Einstellungsdatei und jeden Wert, den die
Bibliothek gelesen hat, den Ordner von --output-dir, das Datenverzeichnis genau so, wie der Lauf es
ableitet (ein DataDir ohne abschließendes "/" schlägt fehl), die drei Spaltenzuordnungen gegen die
Staging-Spalten, die Datenbank (Client-Bibliothek, erreichbar, Schema vollständig), den Proxy und
die CA-Datei, und die Adresse des Anbieters (Name, Verbindung, Zertifikat: ein GET der blanken
Adresse). Ohne --output-dir sagt es, was ungeprüft bleibt. Die Texte sind englisch, wenn die
Spracheinstellung (LC_ALL, LC_MESSAGES, LANG) englisch ist, sonst deutsch. Mit --deep sendet es
zusätzlich eine Bestandsanfrage mit den Zugangsdaten (die PIN wie bei einem Import) und zeigt die
Antwort des Anbieters, ohne sie zu speichern. Exit-Status 0, wenn nichts fehlschlug, sonst 1, 2 bei
einer falschen Befehlszeile (--deep braucht --login).

check --data liest die Dateien des Anbieters im Datenverzeichnis (VERZ, oder das, zu dem die
Einstellungen und --output-dir führen) mit den installierten Spaltenzuordnungen, den Spaltentypen
der Staging-Datenbank und dem Lesecode des Imports, speichert nichts und meldet je Datei: Werte,
die NULL werden, weil sie sich nicht umwandeln lassen, auf ihre Spalte gekürzte Texte, wegen ihres
Typs ausgelassene Transaktionen, Datensätze mit zu wenigen Feldern, wiederholte Transaktions-IDs,
einen Kopf, der nicht zur Zuordnung passt, Null-Bytes und abgewiesene Datensätze, jeweils mit ihrer
Zeile; dann die Anzahlen. Höchstens N Zeilen je Art (--max, Vorgabe 10); --json DATEI schreibt
jeden Befund.

)";
const char* const kCheckEn =
    R"(check looks at an installation the way a run would use it and prints one line per item, with
what to do where something is wrong: the settings file and every value the library read, the
folder of --output-dir, the data directory exactly as the run derives it (a DataDir without its
final "/" fails), the three column maps against the staging columns, the database (client
library, reachable, schema complete), the proxy and CA file in use, and the provider's address
(name, connection, certificate: one GET of the bare address). Without --output-dir it says what
stays unchecked. The texts are English when the locale (LC_ALL, LC_MESSAGES, LANG) is English,
German otherwise. With --deep it also sends one holdings request with the access data (the PIN as
for an import) and reports the provider's answer without storing it. Exit status 0 when nothing
failed, 1 otherwise, 2 for a wrong command line (--deep needs --login).

check --data reads the provider files of the data directory (DIR, or the one the settings and
--output-dir lead to) with the installed column maps, the staging database's column types and
the import's own reading code, stores nothing, and reports per file: values that become NULL
because they do not convert, texts cut to their column, transactions left out by their type
code, records with too few fields, repeated transaction ids, a header that does not fit the map,
zero bytes and refused records, each with its line; then the counts. At most N lines per kind
(--max, default 10); --json FILE writes every finding.

)";

const char* const kAccessDataDe =
    R"(access-data zeigt den Zugangsdaten-Dialog der Bibliothek (ApiDataDialog; im Terminal: der
Benutzername, das Passwort ohne Echo, dann die Bestätigung) mit den angegebenen Werten und gibt das
Ergebnis des Dialogs aus und was zurückkam, das Passwort als Sternchen.

)";
const char* const kAccessDataEn =
    R"(access-data shows the library's access-data dialog (ApiDataDialog; on a terminal: the user name,
the password without echo, then the confirmation) with the given values and prints the dialog's
result and what came back, the password as asterisks.

)";

const char* const kExitDe =
    R"(Nach einem erfolgreichen Import werden die abgewiesenen Datensätze und gekürzten Texte je Datei
des Anbieters gezählt. Strg+C beendet einen Lauf jederzeit mit einer Zeile, was unterbrochen wurde;
die bisherige KORVALIX.XML und die Dateien des Anbieters bleiben, wie sie waren.

Exit-Status: 0, wenn der Import gelang, 1, wenn er fehlschlug (der Ergebniscode und seine Meldung
werden ausgegeben), 2 bei einer falschen Befehlszeile (jede Option höchstens einmal, --option
ausgenommen), einer mit --settings oder VELQORA_REGISTRY genannten Einstellungsdatei, die fehlt,
einem früheren Dokument, das sich nicht lesen lässt (--continue-from), oder einer Bibliothek, die
sich nicht laden lässt, 3 mit --strict, wenn Datensätze abgewiesen wurden, 130 nach Strg+C.

Beispiel:
  kximport --settings /etc/velqora/tavo/registry.reg --output-dir /srv/host/xml_temp \
           --advisor BR-77 --login 12345 --pin-file ~/.kx-pin --embedded-server \
           --last-import 45990 --continue-from /srv/host/xml_temp/KORVALIX.XML
)";
const char* const kExitEn =
    R"(After a successful import the records refused and the texts cut are counted per provider file.
Ctrl+C ends a run at any moment with one line of what it interrupted; the previous KORVALIX.XML
and provider files stay as they were.

Exit status: 0 when the import succeeded, 1 when it failed (the result code and its message
are printed), 2 for a wrong command line (each option at most once, --option aside), a settings
file named by --settings or VELQORA_REGISTRY that is missing, a previous document that cannot be
read (--continue-from) or a library that cannot be loaded, 3 with --strict when records were
refused, 130 after Ctrl+C.

Example:
  kximport --settings /etc/velqora/tavo/registry.reg --output-dir /srv/host/xml_temp \
           --advisor BR-77 --login 12345 --pin-file ~/.kx-pin --embedded-server \
           --last-import 45990 --continue-from /srv/host/xml_temp/KORVALIX.XML
)";

std::string Join(std::initializer_list<const char*> parts) {
  std::string text;
  for (const char* part : parts) text += part;
  return text;
}

}  // namespace

std::string RunHelp() {
  return Say(Join({kRunDe, kAccessDataDe, kCheckDe, kExitDe}),
             Join({kRunEn, kAccessDataEn, kCheckEn, kExitEn}));
}

std::string CheckHelp() { return Say(Join({kCheckUsageDe, kCheckDe}), Join({kCheckUsageEn, kCheckEn})); }

std::string AccessDataHelp() {
  return Say(Join({kAccessDataUsageDe, kAccessDataDe}), Join({kAccessDataUsageEn, kAccessDataEn}));
}

}  // namespace kximport
