#include "provider/ImpApi_Korvalix_Pending.h"

#include "frame/Cp1252.h"
#include "frame/Error.h"

namespace kx {

std::string PendingServerStarter::StartInterBaseServer() {
  throw Error(std::string("Der Start des Datenbankservers ist in dieser Version nicht verfügbar; "
                          "mit der Option EmbeddedIBServer=TRUE wird er übersprungen."_cp1252));
}

int32_t PendingGenerator::GenerateImport(const GenerateImportArgs&) {
  throw Error(std::string("Das Laden der Datenbank und das Schreiben der XML-Datei sind in dieser Version "
                          "nicht verfügbar."_cp1252));
}

}  // namespace kx
