// ":NAME" parameters rewritten to "?" with their names kept.
#include "db/NamedParameters.h"

#include <gtest/gtest.h>

namespace kx::db {
namespace {

using Names = std::vector<std::string>;

TEST(NamedParameters, RewritesEveryOccurrenceInOrderKeepingRepeatedNames) {
  const PositionalSql out = RewriteNamedParameters(
      "select A from T where D = :parDEPSTNR and (K = :parDEPKTOART or K is NULL) union "
      "select A from U where D = :parDEPSTNR and K=:parDEPKTOART");
  EXPECT_EQ(out.sql,
            "select A from T where D = ? and (K = ? or K is NULL) union select A from U where D = ? and K=?");
  EXPECT_EQ(out.names, (Names{"parDEPSTNR", "parDEPKTOART", "parDEPSTNR", "parDEPKTOART"}));
}

TEST(NamedParameters, LeavesLiteralsQuotedNamesAndCommentsAlone) {
  const struct {
    const char* sql;
    const char* rewritten;
    Names names;
  } cases[] = {
      {"insert into T (A, B) values (:A_1, :b$2)", "insert into T (A, B) values (?, ?)", {"A_1", "b$2"}},
      {"select ':X', 'it''s :Y' from T where A = :Z", "select ':X', 'it''s :Y' from T where A = ?", {"Z"}},
      {"select \"odd:NAME\" from T", "select \"odd:NAME\" from T", {}},
      {"select A -- :NOT\nfrom T /* :NOR */ where B = :YES",
       "select A -- :NOT\nfrom T /* :NOR */ where B = ?",
       {"YES"}},
      {"select A from T where B = ? and C = :C", "select A from T where B = ? and C = ?", {"", "C"}},
      {"select A from T where B = :1 or C = ':", "select A from T where B = :1 or C = ':", {}},
  };
  for (const auto& c : cases) {
    const PositionalSql out = RewriteNamedParameters(c.sql);
    EXPECT_EQ(out.sql, c.rewritten) << c.sql;
    EXPECT_EQ(out.names, c.names) << c.sql;
  }
}

}  // namespace
}  // namespace kx::db
