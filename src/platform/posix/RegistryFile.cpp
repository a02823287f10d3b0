#include "platform/posix/RegistryFile.h"

#include <vector>

#include "util/Error.h"

namespace kx::posix {
namespace {

struct Line {
  std::string text;
  int number;
};

// Splits into logical lines: a line ending in "\" continues on the next (hex lists do that).
std::vector<Line> LogicalLines(std::string_view text) {
  std::vector<Line> lines;
  std::string pending;
  int number = 0;
  int start = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++number;
    if (pending.empty()) start = number;
    const std::string_view trimmed = TrimControl(line);
    if (!trimmed.empty() && trimmed.back() == '\\') {
      pending.append(trimmed.substr(0, trimmed.size() - 1));
    } else {
      pending.append(pending.empty() ? line : trimmed);
      lines.push_back({pending, start});
      pending.clear();
    }
    if (end == text.size()) break;
    pos = end + 1;
  }
  if (!pending.empty()) lines.push_back({pending, start});
  return lines;
}

[[noreturn]] void Malformed(int line, std::string_view what) {
  throw Error("Registry file, line " + std::to_string(line) + ": " + std::string(what));
}

// Reads a quoted text starting at pos (at the opening quote); pos ends after the closing quote.
std::string QuotedText(const Line& line, std::size_t& pos) {
  std::string out;
  for (++pos; pos < line.text.size(); ++pos) {
    const char c = line.text[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    // regedit writes a backslash as \\ and a quote as \" inside quotes.
    out += (c == '\\' && pos + 1 < line.text.size()) ? line.text[++pos] : c;
  }
  Malformed(line.number, "unterminated quoted text");
}

std::string HexBytes(const Line& line, std::string_view list) {
  std::string bytes;
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && (list[i] == ',' || static_cast<unsigned char>(list[i]) <= 32)) ++i;
    if (i >= list.size()) break;
    std::size_t used = 0;
    int value = 0;
    try {
      value = std::stoi(std::string(list.substr(i, 2)), &used, 16);
    } catch (const std::exception&) {
      Malformed(line.number, "bad hex byte");
    }
    if (used == 0 || value < 0 || value > 255) Malformed(line.number, "bad hex byte");
    bytes += static_cast<char>(value);
    i += used;
  }
  return bytes;
}

// A string value stored as hex bytes ends at its first zero byte.
std::string UntilZero(std::string bytes) {
  if (const std::size_t zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
  return bytes;
}

RegistryFile::Value ParseData(const Line& line, std::string_view data) {
  using Type = RegistryFile::Type;
  if (!data.empty() && data.front() == '"') {
    std::size_t pos = static_cast<std::size_t>(data.data() - line.text.data());
    return {Type::String, QuotedText(line, pos)};
  }
  if (data.starts_with("dword:")) return {Type::Dword, std::string(data.substr(6))};
  if (data.starts_with("hex:")) return {Type::Binary, HexBytes(line, data.substr(4))};
  if (data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos) Malformed(line.number, "bad hex(n) value");
    const std::string_view kind = data.substr(4, close - 4);
    std::string bytes = HexBytes(line, data.substr(close + 2));
    if (kind == "1") return {Type::String, UntilZero(std::move(bytes))};
    if (kind == "2") return {Type::ExpandString, UntilZero(std::move(bytes))};
    if (kind == "4") return {Type::Dword, std::move(bytes)};
    return {Type::Other, std::move(bytes)};
  }
  Malformed(line.number, "unknown value type");
}

}  // namespace

RegistryFile RegistryFile::Parse(std::string_view text) {
  RegistryFile file;
  const std::vector<Line> lines = LogicalLines(text);
  std::size_t index = 0;
  while (index < lines.size() && TrimControl(lines[index].text).empty()) ++index;
  if (index == lines.size() || (TrimControl(lines[index].text) != "REGEDIT4")) {
    Malformed(index < lines.size() ? lines[index].number : 1, "the file does not start with REGEDIT4");
  }
  Values* current = nullptr;  // null inside a deleted key ("[-...]") and before the first key
  for (++index; index < lines.size(); ++index) {
    const Line& line = lines[index];
    const std::string_view t = TrimControl(line.text);
    if (t.empty() || t.front() == ';') continue;
    if (t.front() == '[') {
      if (t.back() != ']') Malformed(line.number, "bad key line");
      const std::string_view name = t.substr(1, t.size() - 2);
      current = name.starts_with("-") ? nullptr : &file.keys_[std::string(name)];
      continue;
    }
    std::string name;
    std::size_t pos = static_cast<std::size_t>(t.data() - line.text.data());
    if (t.front() == '@') {
      ++pos;
    } else if (t.front() == '"') {
      name = QuotedText(line, pos);
    } else {
      Malformed(line.number, "a value line starts with \" or @");
    }
    if (pos >= line.text.size() || line.text[pos] != '=')
      Malformed(line.number, "\"=\" expected after the name");
    const std::string_view data = TrimControl(std::string_view(line.text).substr(pos + 1));
    if (current == nullptr) continue;
    if (data == "-") {
      current->erase(name);
    } else {
      (*current)[name] = ParseData(line, data);
    }
  }
  return file;
}

const RegistryFile::Values* RegistryFile::Key(std::string_view path) const {
  const auto it = keys_.find(std::string(path));
  return it == keys_.end() ? nullptr : &it->second;
}

}  // namespace kx::posix
