#pragma once

#include <string>

namespace kximport {

// kximport's own texts are German, English when the locale says so (LC_ALL, LC_MESSAGES, LANG: the
// first one set); one rule for the check, the usage errors and the reports. The library's texts
// are shown as they come.
enum class Language { German, English };
Language LanguageFromEnvironment();

// The text in the language of the environment.
std::string Say(const std::string& german, const std::string& english);

}  // namespace kximport
