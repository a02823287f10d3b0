#include "kximport/Language.h"

#include <cstdlib>
#include <string_view>

namespace kximport {

Language LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("en") ? Language::English : Language::German;
  }
  return Language::German;
}

std::string Say(const std::string& german, const std::string& english) {
  return LanguageFromEnvironment() == Language::English ? english : german;
}

}  // namespace kximport
