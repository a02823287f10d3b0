#include "platform/win32/Win32RegionalSettings.h"

#include <windows.h>

namespace kx::win32 {
namespace {

std::string LocaleText(LCTYPE type) {
  char text[128] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text);
  return length > 1 ? std::string(text, static_cast<std::size_t>(length - 1)) : std::string();
}

}  // namespace

FormatSettings Win32RegionalSettings::Formats() {
  FormatSettings f;
  const std::string decimal = LocaleText(LOCALE_SDECIMAL);
  if (decimal.size() == 1) f.DecimalSeparator = decimal[0];
  const std::string thousand = LocaleText(LOCALE_STHOUSAND);
  f.ThousandSeparator = thousand.size() == 1 ? thousand[0] : '\0';
  if (std::string date = LocaleText(LOCALE_SSHORTDATE); !date.empty()) f.ShortDateFormat = date;
  if (std::string time = LocaleText(LOCALE_SSHORTTIME); !time.empty()) f.ShortTimeFormat = time;
  return f;
}

std::string Win32RegionalSettings::LowerCase(std::string_view text) {
  std::string out(text);
  if (!out.empty()) CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
  return out;
}

}  // namespace kx::win32
