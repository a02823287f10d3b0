#include "db/NamedParameters.h"

namespace kx::db {
namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNamePart(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }

// The end of a quoted run starting at open (a ' or "), a doubled quote standing for itself.
std::size_t QuotedEnd(std::string_view sql, std::size_t open) {
  const char quote = sql[open];
  std::size_t i = open + 1;
  while (i < sql.size()) {
    if (sql[i] == quote) {
      if (i + 1 < sql.size() && sql[i + 1] == quote) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return sql.size();
}

// The end of a comment starting at i, or i when none starts there.
std::size_t CommentEnd(std::string_view sql, std::size_t i) {
  if (sql.substr(i, 2) == "--") {
    const std::size_t newline = sql.find('\n', i);
    return newline == std::string_view::npos ? sql.size() : newline;
  }
  if (sql.substr(i, 2) == "/*") {
    const std::size_t close = sql.find("*/", i + 2);
    return close == std::string_view::npos ? sql.size() : close + 2;
  }
  return i;
}

}  // namespace

PositionalSql RewriteNamedParameters(std::string_view sql) {
  PositionalSql out;
  out.sql.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    std::size_t skipTo = i;
    if (c == '\'' || c == '"') {
      skipTo = QuotedEnd(sql, i);
    } else {
      skipTo = CommentEnd(sql, i);
    }
    if (skipTo != i) {
      out.sql.append(sql.substr(i, skipTo - i));
      i = skipTo;
      continue;
    }
    if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && IsNamePart(sql[end])) ++end;
      out.names.emplace_back(sql.substr(i + 1, end - i - 1));
      out.sql += '?';
      i = end;
      continue;
    }
    if (c == '?') out.names.emplace_back();
    out.sql += c;
    ++i;
  }
  return out;
}

}  // namespace kx::db
