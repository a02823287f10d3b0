#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kximport {

// What a host takes from an import document it has read.
struct DocumentFacts {
  std::string startId1;  // Windows-1252, as the next run's options need it
  std::string startId2;
  int64_t customers = 0;
  int64_t depots = 0;
  int64_t positions = 0;
  int64_t transactions = 0;  // DepotTrans elements, the balance entries among them
  int64_t balances = 0;      // DepotTrans of mode "B": a first import's balance of a position
  int64_t bytes = 0;
};

// Reads KORVALIX.XML with an XML parser, in chunks of 64 KiB, whatever its size: the start ids of
// its header (entities and character references decoded) and the number of its elements. Raises
// std::runtime_error when the file cannot be read, is not well-formed XML, or holds a start id
// with a character that Windows-1252 has not.
DocumentFacts ReadDocument(const std::string& path);

}  // namespace kximport
