#include "provider/ImpApi_Korvalix_Pending.h"

#include "util/Cp1252.h"
#include "util/Error.h"

namespace kx {

std::string PendingServerStarter::StartInterBaseServer() {
  throw Error(
      std::string("Der Start des Datenbankservers ist in dieser Version nicht verfügbar; "
                  "mit der Option EmbeddedIBServer=TRUE wird er übersprungen."_cp1252));
}

}  // namespace kx
