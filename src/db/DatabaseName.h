#pragma once

#include <string_view>

namespace kx::db {

// True when a database name reaches its file through a server: "host:path", "host/port:path",
// "[::1]:path", "\\host\path" or a protocol URL ("inet://host/path"). False for a plain path or an
// alias, which the engine inside the process opens (embedded): "/srv/KXDB.IDB", "./KXDB.IDB",
// "C:\Data\KXDB.IDB", "C:/Data/KXDB.IDB". A single letter before the first ":" is a drive, never a
// host; a "\" before it, or a "/" other than the one of "host/port", makes the name a path.
bool GoesThroughServer(std::string_view databaseName);

}  // namespace kx::db
