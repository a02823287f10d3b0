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
  int64_t transactions = 0;
  int64_t bytes = 0;
};

// Reads KORVALIX.XML: the start ids of its header and the number of its elements. Raises
// std::runtime_error when the file cannot be read.
DocumentFacts ReadDocument(const std::string& path);

}  // namespace kximport
