#pragma once

#include <string>

namespace kx {

// The machine's number and date forms. Date and time patterns use the Windows letters:
// d dd (day), M MM (month), yy yyyy (year), H HH (24-hour), h hh (12-hour), m mm (minute),
// s ss (second), tt (AM/PM); other characters stand for themselves.
struct FormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';  // '\0' when the locale groups with no separator
  std::string ShortDateFormat = "dd.MM.yyyy";
  std::string ShortTimeFormat = "HH:mm";
};

// German and English settings, for tests and as documented examples.
FormatSettings GermanFormats();
FormatSettings EnglishFormats();

}  // namespace kx
