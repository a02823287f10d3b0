#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kx::kxdb {

// Splits an isql script into its statements, each without its terminator and trimmed. The
// terminator is ";" until "SET TERM x ;" makes it x (and "SET TERM ; x" makes it ";" again); a
// terminator inside a string literal, a quoted name or a comment ends nothing. SET TERM, COMMIT
// and statements holding nothing but comments are not returned: each statement runs in a
// transaction of its own anyway.
std::vector<std::string> SplitSqlScript(std::string_view script);

}  // namespace kx::kxdb
