#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// A field of an import target, with what the conversion of a value needs to know.
struct ImportField {
  enum class Kind { Text, SmallInt, Integer, Double, Other };
  std::string Name;
  Kind Type = Kind::Other;
  std::size_t Length = 0;  // the column length of a text field
};

// What became of a row a deferring target posted: inserted, or refused with the database's message.
struct PostedRow {
  bool inserted = true;
  std::string error;
};

// Where the delimited-text importer puts its records: rows of one table, inserted one by one or,
// by a deferring target, gathered into batches. A new row starts with every field unassigned
// (NULL).
class ImportTarget {
 public:
  virtual ~ImportTarget() = default;
  virtual const std::vector<ImportField>& Fields() const = 0;

  virtual void BeginRow() = 0;
  virtual void SetText(std::size_t field, std::string_view value) = 0;
  virtual void SetInt(std::size_t field, int64_t value) = 0;
  virtual void SetDouble(std::size_t field, double value) = 0;
  virtual void SetNull(std::size_t field) = 0;
  // Inserts the row and raises the database's error when it refuses it; a deferring target may
  // only queue it and report its outcome later through TakeOutcome.
  virtual void Post() = 0;
  // Drops a row that was begun but not posted.
  virtual void Cancel() = 0;

  // True when Post may queue rows: their outcomes come from TakeOutcome, oldest first.
  virtual bool Defers() const { return false; }
  // Sends every queued row.
  virtual void Flush() {}
  // The outcome of the oldest posted row that has not been reported yet, once it is known.
  virtual std::optional<PostedRow> TakeOutcome() { return std::nullopt; }
};

}  // namespace kx
