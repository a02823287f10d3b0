// Splitting isql scripts into statements, SET TERM included.
#include "kxdb/SqlScript.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace kx::kxdb {
namespace {

using Statements = std::vector<std::string>;

TEST(SqlScript, SetTermChangesTheTerminatorForATriggerBody) {
  const Statements statements = SplitSqlScript(
      "CREATE TABLE A (X INTEGER);\n"
      "SET TERM ^ ;\n"
      "CREATE TRIGGER TR FOR A BEFORE INSERT AS\n"
      "BEGIN\n"
      "  IF (NEW.X IS NULL) THEN NEW.X = 1;\n"
      "END^\n"
      "SET TERM ; ^\n"
      "CREATE INDEX IX ON A (X);\n");
  EXPECT_EQ(statements, (Statements{"CREATE TABLE A (X INTEGER)",
                                    "CREATE TRIGGER TR FOR A BEFORE INSERT AS\nBEGIN\n"
                                    "  IF (NEW.X IS NULL) THEN NEW.X = 1;\nEND",
                                    "CREATE INDEX IX ON A (X)"}));
}

TEST(SqlScript, TerminatorsInLiteralsAndCommentsEndNothing) {
  const struct {
    const char* script;
    Statements statements;
  } cases[] = {
      {"INSERT INTO A VALUES ('a;b', 'it''s;');", {"INSERT INTO A VALUES ('a;b', 'it''s;')"}},
      {"CREATE TABLE \"X;Y\" (A INTEGER);", {"CREATE TABLE \"X;Y\" (A INTEGER)"}},
      {"-- leading; comment\nCREATE TABLE A (X INTEGER); -- trailing; comment\n",
       {"CREATE TABLE A (X INTEGER)"}},
      {"/* block; comment */ DROP TABLE A; /* only a comment */;", {"DROP TABLE A"}},
      {"CREATE TABLE A (X INTEGER /* inside; */);", {"CREATE TABLE A (X INTEGER /* inside; */)"}},
      {"DROP TABLE A;\nCOMMIT;\ncommit work;\nDROP TABLE B", {"DROP TABLE A", "DROP TABLE B"}},
      {"set term !! ;\nEXECUTE BLOCK AS BEGIN END!!\nset term ; !!\n", {"EXECUTE BLOCK AS BEGIN END"}},
      {"  \n;;\n", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitSqlScript(c.script), c.statements) << c.script;
}

TEST(SqlScript, StagingSchemaSplitsIntoItsStatements) {
  const Statements statements = SplitSqlScript(testsupport::TempDir::ReadFile(KX_STAGING_SCHEMA));
  ASSERT_EQ(statements.size(), 11u);
  EXPECT_TRUE(statements.front().starts_with("CREATE TABLE BESTAENDE (")) << statements.front();
  EXPECT_TRUE(statements.back().starts_with("CREATE TRIGGER TR_DBSTARTIDS_RECORDID")) << statements.back();
  EXPECT_TRUE(statements.back().ends_with("END")) << statements.back();
}

}  // namespace
}  // namespace kx::kxdb
