#include "provider/ImpApi_Korvalix_Pending.h"

#include "frame/Cp1252.h"
#include "frame/Error.h"

namespace kx {

std::string PendingServerStarter::StartInterBaseServer() {
  throw Error(std::string("Der Start des Datenbankservers ist in dieser Version nicht verfügbar; "
                          "mit der Option EmbeddedIBServer=TRUE wird er übersprungen."_cp1252));
}

}  // namespace kx
