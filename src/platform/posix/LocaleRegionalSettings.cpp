#include "platform/posix/LocaleRegionalSettings.h"

#include <langinfo.h>
#include <locale.h>

#include "util/Cp1252.h"

namespace kx::posix {
namespace {

// The locale object of the environment, freed on every path.
class EnvironmentLocale {
 public:
  EnvironmentLocale() : locale_(newlocale(LC_ALL_MASK, "", nullptr)) {
    if (locale_ == nullptr) locale_ = newlocale(LC_ALL_MASK, "C", nullptr);
  }
  ~EnvironmentLocale() {
    if (locale_ != nullptr) freelocale(locale_);
  }
  EnvironmentLocale(const EnvironmentLocale&) = delete;
  EnvironmentLocale& operator=(const EnvironmentLocale&) = delete;

  std::string Item(nl_item item) const {
    if (locale_ == nullptr) return {};
    const char* text = nl_langinfo_l(item, locale_);
    return text != nullptr ? std::string(text) : std::string();
  }

 private:
  locale_t locale_;
};

// One Windows-1252 character of a locale string (which may be UTF-8), or '\0' when it has none.
char SingleCharacter(const std::string& text, bool utf8) {
  const std::string converted = utf8 ? Utf8ToCp1252(text) : text;
  return converted.size() == 1 ? converted[0] : '\0';
}

}  // namespace

std::string WindowsPattern(std::string_view p) {
  std::string out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '%' || i + 1 >= p.size()) {
      out += p[i];
      continue;
    }
    char c = p[++i];
    if ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0') && i + 1 < p.size()) c = p[++i];
    switch (c) {
      case 'd':
        out += "dd";
        break;
      case 'e':
        out += "d";
        break;
      case 'm':
        out += "MM";
        break;
      case 'y':
        out += "yy";
        break;
      case 'Y':
        out += "yyyy";
        break;
      case 'H':
        out += "HH";
        break;
      case 'I':
        out += "hh";
        break;
      case 'M':
        out += "mm";
        break;
      case 'S':
        out += "ss";
        break;
      case 'p':
        out += "tt";
        break;
      case 'D':
        out += "MM/dd/yy";
        break;
      case 'F':
        out += "yyyy-MM-dd";
        break;
      case 'T':
        out += "HH:mm:ss";
        break;
      case 'R':
        out += "HH:mm";
        break;
      case 'r':
        out += "hh:mm:ss tt";
        break;
      case '%':
        out += '%';
        break;
      default:
        break;  // names of days and months have no short numeric form here
    }
  }
  return out;
}

FormatSettings LocaleRegionalSettings::Formats() {
  const EnvironmentLocale locale;
  const bool utf8 = locale.Item(CODESET) == "UTF-8";
  FormatSettings f;
  const char decimal = SingleCharacter(locale.Item(RADIXCHAR), utf8);
  f.DecimalSeparator = decimal != '\0' ? decimal : '.';
  f.ThousandSeparator = SingleCharacter(locale.Item(THOUSEP), utf8);
  const std::string date = WindowsPattern(locale.Item(D_FMT));
  if (!date.empty()) f.ShortDateFormat = date;
  // The short time form has no seconds.
  std::string time = WindowsPattern(locale.Item(T_FMT));
  if (const std::size_t s = time.find(":ss"); s != std::string::npos) time.erase(s, 3);
  if (!time.empty()) f.ShortTimeFormat = time;
  return f;
}

std::string LocaleRegionalSettings::LowerCase(std::string_view text) { return ToLower1252(text); }

}  // namespace kx::posix
