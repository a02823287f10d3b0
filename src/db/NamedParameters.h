#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx::db {

// A statement with its ":NAME" parameters replaced by the "?" markers the client understands.
struct PositionalSql {
  std::string sql;
  // One entry per "?" of sql, in order: the name written after ":" (without it), or empty for a
  // "?" that stood in the statement already. A name may occur more than once.
  std::vector<std::string> names;
};

// Replaces every ":NAME" (a letter or "_", then letters, digits, "_" and "$") outside string
// literals, quoted identifiers and comments. Statements whose body uses ":NAME" for its own
// variables (EXECUTE BLOCK, procedures) must not be rewritten.
PositionalSql RewriteNamedParameters(std::string_view sql);

}  // namespace kx::db
