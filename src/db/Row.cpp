// Row: reading the typed values of one result row, and keeping them.
#include "db/Row.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

#include "db/DatabaseError.h"
#include "util/WholeNumber.h"

namespace kx::db {
namespace {

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The decimal text of value x 10^scale ("-12.50" for -1250 with scale -2).
std::string ScaledText(int64_t value, int scale) {
  std::string digits = std::to_string(value);
  if (scale >= 0) return scale == 0 ? digits : digits + std::string(static_cast<std::size_t>(scale), '0');
  const bool negative = value < 0;
  if (negative) digits.erase(0, 1);
  const std::size_t decimals = static_cast<std::size_t>(-scale);
  if (digits.size() <= decimals) digits.insert(0, decimals - digits.size() + 1, '0');
  digits.insert(digits.size() - decimals, 1, '.');
  return negative ? "-" + digits : digits;
}

// A value as the client wrote it into a column's buffer.
template <typename T>
T Read(const char* data) {
  T value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

std::string DoubleText(double value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

}  // namespace

void Row::AddColumn(FieldInfo info, Storage storage, int16_t length, int16_t scale) {
  // Each value starts at a multiple of 8 bytes after the previous one.
  const std::size_t offset =
      slots_.empty() ? 0 : (slots_.back().offset + DataSize(ColumnCount() - 1) + 7) / 8 * 8;
  slots_.push_back(Slot{storage, length, scale, info.nullable, offset});
  columns_.push_back(std::move(info));
}

void Row::Allocate() {
  const std::size_t end = slots_.empty() ? 0 : slots_.back().offset + DataSize(ColumnCount() - 1);
  data_.assign(end / 8 + 1, 0);
  indicators_.assign(slots_.size(), -1);
}

std::size_t Row::DataSize(int index) const {
  const Slot& slot = slots_[index];
  return static_cast<std::size_t>(slot.length) + (slot.storage == Storage::Varying ? 2 : 0);
}

const FieldInfo& Row::Column(int index) const {
  if (index < 0 || index >= ColumnCount()) {
    throw DatabaseError("no column " + std::to_string(index) + " in the result of: " + sql_);
  }
  return columns_[index];
}

void Row::CheckIndex(int index) const {
  if (index < 0 || index >= ColumnCount()) [[unlikely]] {
    Column(index);  // raises
  }
}

int Row::ColumnIndex(std::string_view name) const {
  const auto byte = [name](std::size_t i) {
    return static_cast<std::size_t>(static_cast<unsigned char>(name[i]));
  };
  const std::size_t hash =
      name.empty() ? 0 : name.size() * 7 + byte(0) * 3 + byte(name.size() / 2) + byte(name.size() - 1) * 5;
  ColumnLookup& known = columnLookups_[hash % columnLookups_.size()];
  if (known.index >= 0 && known.name == name) return known.index;
  for (int i = 0; i < ColumnCount(); ++i) {
    if (!SameName(columns_[i].name, name)) continue;
    known.name.assign(name);
    known.index = i;
    return i;
  }
  throw DatabaseError("no column \"" + std::string(name) + "\" in the result of: " + sql_);
}

std::string Row::Save() const {
  std::string saved;
  SaveTo(saved);
  return saved;
}

void Row::SaveTo(std::string& saved) const {
  for (int i = 0; i < ColumnCount(); ++i) {
    const int16_t indicator = slots_[i].nullable ? indicators_[i] : int16_t{0};
    saved.append(reinterpret_cast<const char*>(&indicator), sizeof indicator);
    saved.append(DataOf(i), DataSize(i));
  }
}

void Row::Load(std::string_view saved) {
  std::size_t at = 0;
  for (int i = 0; i < ColumnCount(); ++i) {
    const std::size_t size = DataSize(i);
    if (at + sizeof(int16_t) + size > saved.size())
      throw DatabaseError("a saved row that is not of: " + sql_);
    if (slots_[i].nullable) std::memcpy(&indicators_[i], saved.data() + at, sizeof(int16_t));
    std::memcpy(Data(i), saved.data() + at + sizeof(int16_t), size);
    at += sizeof(int16_t) + size;
  }
}

bool Row::IsNull(int index) const {
  CheckIndex(index);
  return slots_[index].nullable && indicators_[index] == -1;
}

std::string Row::AsText(int index) const {
  if (IsNull(index)) return {};
  const Slot& slot = slots_[index];
  const char* data = DataOf(index);
  switch (slot.storage) {
    case Storage::Varying:
      return std::string(data + 2, static_cast<std::size_t>(Read<int16_t>(data)));
    case Storage::Text:
      return std::string(data, static_cast<std::size_t>(slot.length));
    case Storage::Float:
    case Storage::Double:
      return DoubleText(AsDouble(index));
    case Storage::Short:
      return ScaledText(Read<int16_t>(data), slot.scale);
    case Storage::Long:
      return ScaledText(Read<int32_t>(data), slot.scale);
    case Storage::Int64:
      return ScaledText(Read<int64_t>(data), slot.scale);
    case Storage::Other:
      break;
  }
  throw DatabaseError("column \"" + columns_[index].name + "\" has a type this layer does not read");
}

double Row::AsDouble(int index) const {
  if (IsNull(index)) return 0;
  const Slot& slot = slots_[index];
  const char* data = DataOf(index);
  switch (slot.storage) {
    case Storage::Double:
      return Read<double>(data);
    case Storage::Float:
      return Read<float>(data);
    case Storage::Short:
      return Read<int16_t>(data) * std::pow(10.0, slot.scale);
    case Storage::Long:
      return Read<int32_t>(data) * std::pow(10.0, slot.scale);
    case Storage::Int64:
      return static_cast<double>(Read<int64_t>(data)) * std::pow(10.0, slot.scale);
    default:
      break;
  }
  const std::string text = AsText(index);
  const std::string_view number = Trimmed(text);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || result.ec != std::errc() || result.ptr != number.data() + number.size()) {
    throw DatabaseError("column \"" + columns_[index].name + "\": \"" + text + "\" is not a number");
  }
  return value;
}

int64_t Row::AsInt(int index) const {
  if (IsNull(index)) return 0;
  const Slot& slot = slots_[index];
  const char* data = DataOf(index);
  if (slot.scale == 0) {
    switch (slot.storage) {
      case Storage::Short:
        return Read<int16_t>(data);
      case Storage::Long:
        return Read<int32_t>(data);
      case Storage::Int64:
        return Read<int64_t>(data);
      default:
        break;
    }
  }
  if (slot.storage != Storage::Text && slot.storage != Storage::Varying) return std::llround(AsDouble(index));
  const std::string text = AsText(index);
  if (const std::optional<int64_t> value = WholeNumberOf<int64_t>(Trimmed(text))) return *value;
  throw DatabaseError("column \"" + columns_[index].name + "\": \"" + text + "\" is not a whole number");
}

}  // namespace kx::db
