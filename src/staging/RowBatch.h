#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// Converted rows on their way to a table: one typed cell per field (NULL until set), the texts in
// one arena, and each row's line in its source file. Clear keeps the storage for the next batch.
class RowBatch {
 public:
  enum class Kind : uint8_t { Null, Int, Double, Text };
  struct Cell {
    Kind kind = Kind::Null;
    uint32_t length = 0;  // of a text
    union {
      int64_t integer = 0;
      double real;
      std::size_t offset;  // of a text in the arena
    };
  };

  explicit RowBatch(std::size_t fields = 0) : fields_(fields) {}

  std::size_t Fields() const { return fields_; }
  std::size_t Rows() const { return lines_.size(); }
  const Cell& At(std::size_t row, std::size_t field) const { return cells_[row * fields_ + field]; }
  std::string_view Text(const Cell& cell) const {
    return std::string_view(arena_).substr(cell.offset, cell.length);
  }
  int64_t Line(std::size_t row) const { return lines_[row]; }

  // A new last row, every cell NULL.
  void BeginRow(int64_t line) {
    cells_.resize(cells_.size() + fields_);
    lines_.push_back(line);
  }
  // Drops the last row (its texts stay in the arena until Clear).
  void DropRow() {
    cells_.resize(cells_.size() - fields_);
    lines_.pop_back();
  }
  void SetNull(std::size_t field) { Last(field) = Cell(); }
  void SetInt(std::size_t field, int64_t value) {
    Cell& cell = Last(field);
    cell.kind = Kind::Int;
    cell.integer = value;
  }
  void SetDouble(std::size_t field, double value) {
    Cell& cell = Last(field);
    cell.kind = Kind::Double;
    cell.real = value;
  }
  void SetText(std::size_t field, std::string_view value) {
    Cell& cell = Last(field);
    cell.kind = Kind::Text;
    cell.length = static_cast<uint32_t>(value.size());
    cell.offset = arena_.size();
    arena_.append(value);
  }
  // Appends the rows of another batch of the same fields.
  void Append(const RowBatch& other) {
    const std::size_t base = arena_.size();
    arena_.append(other.arena_);
    for (Cell cell : other.cells_) {
      if (cell.kind == Kind::Text) cell.offset += base;
      cells_.push_back(cell);
    }
    lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
  }
  void Clear() {
    cells_.clear();
    lines_.clear();
    arena_.clear();
  }

 private:
  Cell& Last(std::size_t field) { return cells_[cells_.size() - fields_ + field]; }

  std::size_t fields_;
  std::vector<Cell> cells_;
  std::vector<int64_t> lines_;
  std::string arena_;
};

}  // namespace kx
