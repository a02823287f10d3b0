#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace kx::tools {

// The command-line programs' own texts are German, English when the locale says so (LC_ALL,
// LC_MESSAGES, LANG: the first one set), the way a user expects one product's command line to
// speak. The library's texts are shown as they come.
enum class Language { German, English };

inline Language LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("en") ? Language::English : Language::German;
  }
  return Language::German;
}

// The text in the language of the environment.
inline std::string Say(const std::string& german, const std::string& english) {
  return LanguageFromEnvironment() == Language::English ? english : german;
}

}  // namespace kx::tools
