#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "staging/RowBatch.h"

namespace kx {

// A field of an import target, with what the conversion of a value needs to know.
struct ImportField {
  enum class Kind { Text, SmallInt, Integer, Double, Other };
  std::string Name;
  Kind Type = Kind::Other;
  std::size_t Length = 0;  // the column length of a text field
};

// What became of one row of a batch: inserted, or refused with the database's message.
struct RowOutcome {
  bool inserted = true;
  std::string error;
};

// Where the delimited-text importer puts its records: rows of one table, a batch at a time.
class ImportTarget {
 public:
  virtual ~ImportTarget() = default;
  virtual const std::vector<ImportField>& Fields() const = 0;
  // Inserts the batch's rows (cells in the order of Fields) in their order and returns one outcome
  // per row: a row the database refuses carries its message and leaves the others inserted.
  // Raises only for what ends the whole load (a lost connection).
  virtual std::vector<RowOutcome> Insert(const RowBatch& batch) = 0;
};

}  // namespace kx
