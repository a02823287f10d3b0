#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "Language.h"

namespace kximport {

using kx::tools::Language;
using kx::tools::LanguageFromEnvironment;

// The lines of `kximport check`: one per item, with what to do where something is wrong.
class CheckReport {
 public:
  enum class Level { Ok, Warning, Failure };

  explicit CheckReport(Language language) : language_(language) {}

  // The text in the report's language.
  std::string Say(const std::string& german, const std::string& english) const {
    return language_ == Language::English ? english : german;
  }

  void Ok(const std::string& text) { lines_.push_back({Level::Ok, text, {}}); }
  void Warn(const std::string& text, const std::string& fix) {
    lines_.push_back({Level::Warning, text, fix});
  }
  void Fail(const std::string& text, const std::string& fix) {
    lines_.push_back({Level::Failure, text, fix});
  }

  bool HasFailures() const;
  // "✓ text", "⚠ text" or "✗ text", the fix indented below it.
  void Print(std::ostream& out) const;

 private:
  struct Line {
    Level level;
    std::string text;
    std::string fix;
  };
  Language language_;
  std::vector<Line> lines_;
};

}  // namespace kximport
