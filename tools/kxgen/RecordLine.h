#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::gen {

// The text that stands for "no value" in the provider files.
inline constexpr std::string_view kNull = "Null";

// Builds one record of a provider file: fields separated by ";", a field that contains ";" or
// begins with a quote is quoted (inner quotes doubled), the line ends with CR LF. One object is
// reused for every line, so a large file costs no allocation per record.
class RecordLine {
 public:
  void Clear() {
    line_.clear();
    fields_ = 0;
  }
  void Text(std::string_view value);
  void Int(int64_t value);
  // value / 10^decimals with exactly that many decimals and "." as separator, no grouping.
  void Fixed(int64_t value, int decimals);
  std::size_t Fields() const { return fields_; }
  // The finished line, with CR LF.
  std::string_view Finish();

 private:
  void Separator();

  std::string line_;
  std::size_t fields_ = 0;
};

// Calendar dates as day numbers (0 = 1970-01-01) and as the provider's whole numbers YYYYMMDD.
int64_t DaysFromCivil(int year, unsigned month, unsigned day);
int64_t DateNumber(int64_t days);

// Fixed-point text as RecordLine::Fixed writes it.
void AppendFixed(std::string& text, int64_t value, int decimals);
std::string FixedText(int64_t value, int decimals);

}  // namespace kx::gen
