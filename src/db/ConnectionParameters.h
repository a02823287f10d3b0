#pragma once

#include <string>
#include <string_view>

#include "db/ParameterBlock.h"

namespace kx::db {

// How a connection logs in. The defaults are the staging database's parameters.
struct ConnectionParameters {
  std::string user = "SYSDBA";
  std::string password = "fennoclax";
  std::string characterSet = "ISO8859_1";  // lc_ctype: text passes as these bytes, unconverted
  unsigned dialect = 3;
};

// The attach parameters for a database name. A name without a server (GoesThroughServer) also
// asks for the engine inside the process: without that, a plain path whose file a local server
// has open would silently go through that server.
ParameterBlock AttachParameters(const ConnectionParameters& parameters, std::string_view databaseName);

}  // namespace kx::db
