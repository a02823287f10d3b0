#pragma once

#include <string>

#include "db/ClientLibrary.h"
#include "db/ConnectionParameters.h"

namespace kx::db {

// Creates an empty database file (SQL dialect 3, default character set ISO8859_1) and detaches
// again. A plain path is created by the engine inside the process, "host:path" by that server.
// Raises DatabaseError, also when the file exists already.
void CreateDatabase(const ClientLibrary& client, const std::string& databaseName, int pageSize = 8192,
                    const ConnectionParameters& parameters = {});

}  // namespace kx::db
