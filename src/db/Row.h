#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/FieldInfo.h"

namespace kx::db {

// The result columns of one row: what a statement fetched last, or a snapshot of it kept apart.
// Columns are numbered from 0. Every failure raises DatabaseError.
//
// A Row owns its value buffers. A statement fetches straight into the buffers of its own row
// (Statement::CurrentRow), so reading allocates nothing but the texts returned; Snapshot copies
// the buffers, and the copy stays as it is while the statement fetches on.
class Row {
 public:
  Row() = default;

  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  const FieldInfo& Column(int index) const;
  // By alias name, compared without regard to ASCII case; raises when absent.
  int ColumnIndex(std::string_view name) const;

  bool IsNull(int index) const;
  // NULL reads as the empty text; numbers as their decimal text ("." as separator, doubles with
  // up to 15 significant digits); dates and times in the server's text form.
  std::string AsText(int index) const;
  // NULL reads as 0; a double is rounded; a text must hold a whole number.
  int64_t AsInt(int index) const;
  // NULL reads as 0; a text must hold a number.
  double AsDouble(int index) const;
  bool IsNull(std::string_view name) const { return IsNull(ColumnIndex(name)); }
  std::string AsText(std::string_view name) const { return AsText(ColumnIndex(name)); }
  int64_t AsInt(std::string_view name) const { return AsInt(ColumnIndex(name)); }
  double AsDouble(std::string_view name) const { return AsDouble(ColumnIndex(name)); }

  // The values as bytes, which Load puts back as if fetched again: for reading rows in another
  // order than the cursor gives them, without a Row per kept row.
  std::string Save() const;
  // Save, appended to saved.
  void SaveTo(std::string& saved) const;
  void Load(std::string_view saved);

  // A self-contained copy of the values, unaffected by later fetches of the statement.
  Row Snapshot() const { return *this; }

 private:
  friend class Statement;

  // How a column's value lies in its buffer (the client writes it so).
  enum class Storage : int16_t { Text, Varying, Short, Long, Int64, Float, Double, Other };
  struct Slot {
    Storage storage = Storage::Other;
    int16_t length = 0;  // bytes of a value; a varying text has 2 more for its length
    int16_t scale = 0;
    bool nullable = true;
    std::size_t offset = 0;  // into data_
  };

  // For the statement that describes its columns: the layout first, then Allocate, then the
  // addresses the client writes each fetched value to.
  void AddColumn(FieldInfo info, Storage storage, int16_t length, int16_t scale);
  void Allocate();
  char* Data(int index) { return reinterpret_cast<char*>(data_.data()) + slots_[index].offset; }
  int16_t* Indicator(int index) { return &indicators_[index]; }

  const char* DataOf(int index) const {
    return reinterpret_cast<const char*>(data_.data()) + slots_[index].offset;
  }
  std::size_t DataSize(int index) const;
  void CheckIndex(int index) const;

  std::string sql_;  // the statement's text, for error messages
  std::vector<FieldInfo> columns_;
  std::vector<Slot> slots_;
  std::vector<int64_t> data_;  // 8-byte aligned room for every column's value
  std::vector<int16_t> indicators_;
  // Where ColumnIndex found a name, by the exact bytes asked for: readers ask for the same few
  // columns by name on every row.
  struct ColumnLookup {
    std::string name;
    int index = -1;
  };
  mutable std::array<ColumnLookup, 32> columnLookups_;
};

}  // namespace kx::db
