#include "kxdb/SqlScript.h"

#include <cctype>

namespace kx::kxdb {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsBlank(text[first])) ++first;
  while (last > first && IsBlank(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The blank-separated words of a statement's code (its text without comments).
std::vector<std::string> Words(std::string_view code) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < code.size()) {
    while (i < code.size() && IsBlank(code[i])) ++i;
    const std::size_t start = i;
    while (i < code.size() && !IsBlank(code[i])) ++i;
    if (i > start) words.emplace_back(code.substr(start, i - start));
  }
  return words;
}

// Where the string literal, quoted name or comment starting at i ends; i when none starts there.
std::size_t SkipQuotedOrComment(std::string_view s, std::size_t i) {
  if (s[i] == '\'' || s[i] == '"') {
    const char quote = s[i];
    std::size_t j = i + 1;
    while (j < s.size()) {
      if (s[j] == quote) {
        if (j + 1 < s.size() && s[j + 1] == quote) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return s.size();
  }
  if (s.substr(i, 2) == "--") {
    const std::size_t newline = s.find('\n', i);
    return newline == std::string_view::npos ? s.size() : newline;
  }
  if (s.substr(i, 2) == "/*") {
    const std::size_t close = s.find("*/", i + 2);
    return close == std::string_view::npos ? s.size() : close + 2;
  }
  return i;
}

class Splitter {
 public:
  std::vector<std::string> Run(std::string_view script) {
    std::size_t i = 0;
    while (i < script.size()) {
      if (script.compare(i, terminator_.size(), terminator_) == 0) {
        i += terminator_.size();  // before Finish, which may change the terminator
        Finish();
        continue;
      }
      const std::size_t end = SkipQuotedOrComment(script, i);
      if (end != i) {
        const bool comment = script[i] == '-' || script[i] == '/';
        // Comments before a statement stay out of its text; inside one they go with it.
        if (!comment || started_) text_.append(script.substr(i, end - i));
        started_ = started_ || !comment;
        code_.append(comment ? std::string_view(" ") : script.substr(i, end - i));
        i = end;
        continue;
      }
      text_ += script[i];
      code_ += script[i];
      started_ = started_ || !IsBlank(script[i]);
      ++i;
    }
    Finish();
    return std::move(statements_);
  }

 private:
  void Finish() {
    const std::vector<std::string> words = Words(code_);
    if (words.size() == 3 && Upper(words[0]) == "SET" && Upper(words[1]) == "TERM") {
      terminator_ = words[2];
    } else if (!words.empty() && !IsCommit(words)) {
      statements_.push_back(Trim(text_));
    }
    text_.clear();
    code_.clear();
    started_ = false;
  }

  static bool IsCommit(const std::vector<std::string>& words) {
    return Upper(words[0]) == "COMMIT" &&
           (words.size() == 1 || (words.size() == 2 && Upper(words[1]) == "WORK"));
  }

  std::string terminator_ = ";";
  std::string text_;  // the statement as written
  std::string code_;  // the same without comments, to recognise SET TERM and COMMIT
  bool started_ = false;
  std::vector<std::string> statements_;
};

}  // namespace

std::vector<std::string> SplitSqlScript(std::string_view script) { return Splitter().Run(script); }

}  // namespace kx::kxdb
