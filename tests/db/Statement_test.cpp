// Round trips through prepared statements, against real databases both ways.
#include "db/Statement.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "db/DatabaseError.h"
#include "support/DbTestSupport.h"

namespace kx::dbtest {
namespace {

using db::DatabaseError;
using db::FieldType;
using db::Statement;

class StatementTest : public DbTest {
 protected:
  void CreateTables() override {
    ExecuteAll(*connection_, {"create table T (ID integer, I integer, S smallint, B bigint, "
                              "D double precision, V varchar(5), W varchar(300), DT date)"});
  }

  // Inserts one row with ID and the given value bound to column by the bind function.
  template <typename Bind>
  void InsertOne(int id, const char* column, Bind bind) {
    Statement insert(*transaction_, std::string("insert into T (ID, ") + column + ") values (:ID, :V)");
    insert.SetInt("ID", id);
    bind(insert);
    insert.Execute();
  }

  // Opens "select column from T where ID = id" and fetches its one row.
  std::unique_ptr<Statement> SelectOne(int id, const char* column) {
    auto select = std::make_unique<Statement>(*transaction_,
                                              std::string("select ") + column + " from T where ID = :ID");
    select->SetInt("ID", id);
    select->Open();
    EXPECT_TRUE(select->Fetch());
    return select;
  }
};

TEST_P(StatementTest, TextBoundToNumericColumnsIsConvertedByTheServer) {
  InsertOne(1, "I", [](Statement& s) { s.SetText("V", "19650312"); });
  InsertOne(2, "S", [](Statement& s) { s.SetText("V", "-7"); });
  InsertOne(3, "D", [](Statement& s) { s.SetText("V", "1234.5"); });
  EXPECT_EQ(SelectOne(1, "I")->CurrentRow().AsInt(0), 19650312);
  EXPECT_EQ(SelectOne(2, "S")->CurrentRow().AsInt(0), -7);
  EXPECT_DOUBLE_EQ(SelectOne(3, "D")->CurrentRow().AsDouble(0), 1234.5);
}

TEST_P(StatementTest, EmptyTextForAnIntegerIsAConversionErrorSoNullIsBound) {
  Statement insert(*transaction_, "insert into T (ID, I) values (1, :I)");
  insert.SetText("I", "");
  EXPECT_THROW(insert.Execute(), DatabaseError);
  insert.SetNull("I");
  insert.Execute();
  EXPECT_TRUE(SelectOne(1, "I")->CurrentRow().IsNull(0));
}

TEST_P(StatementTest, NullReadsAsEmptyTextAndZeroAndIsTellsApartFromEmptyAndZero) {
  Statement insert(*transaction_, "insert into T (ID, I, D, V) values (:ID, :I, :D, :V)");
  insert.SetInt("ID", 1);  // I, D and V stay NULL: parameters start as NULL
  insert.Execute();
  insert.SetInt("ID", 2);
  insert.SetInt("I", 0);
  insert.SetDouble("D", 0);
  insert.SetText("V", "");
  insert.Execute();

  Statement select(*transaction_, "select I, D, V from T order by ID");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  for (int column = 0; column < 3; ++column) {
    EXPECT_TRUE(select.CurrentRow().IsNull(column)) << column;
    EXPECT_EQ(select.CurrentRow().AsText(column), "") << column;
    EXPECT_EQ(select.CurrentRow().AsInt(column), 0) << column;
    EXPECT_EQ(select.CurrentRow().AsDouble(column), 0) << column;
  }
  ASSERT_TRUE(select.Fetch());
  for (int column = 0; column < 3; ++column) EXPECT_FALSE(select.CurrentRow().IsNull(column)) << column;
  EXPECT_EQ(select.CurrentRow().AsText("I"), "0");
  EXPECT_EQ(select.CurrentRow().AsText("V"), "");
  EXPECT_FALSE(select.Fetch());
}

TEST_P(StatementTest, IntegersAndDoublesRoundTripAtTheirLimits) {
  struct Case {
    const char* column;
    int64_t value;
    const char* text;
  };
  const Case cases[] = {
      {"S", -32768, "-32768"},
      {"S", 32767, "32767"},
      {"I", std::numeric_limits<int32_t>::min(), "-2147483648"},
      {"I", std::numeric_limits<int32_t>::max(), "2147483647"},
      {"B", std::numeric_limits<int64_t>::min(), "-9223372036854775808"},
      {"B", 1234567890123456789, "1234567890123456789"},
  };
  int id = 0;
  for (const Case& c : cases) {
    InsertOne(++id, c.column, [&](Statement& s) { s.SetInt("V", c.value); });
    const auto select = SelectOne(id, c.column);
    EXPECT_EQ(select->CurrentRow().AsInt(0), c.value) << c.column;
    EXPECT_EQ(select->CurrentRow().AsText(0), c.text) << c.column;
  }
  for (const double value : {-1.5e300, 4.9e-300, 0.1, -0.004, 12.5}) {
    InsertOne(++id, "D", [&](Statement& s) { s.SetDouble("V", value); });
    EXPECT_EQ(SelectOne(id, "D")->CurrentRow().AsDouble(0), value);
  }
  EXPECT_EQ(SelectOne(id, "D")->CurrentRow().AsText(0), "12.5");
}

TEST_P(StatementTest, ValueOutOfTheColumnsRangeIsRefused) {
  EXPECT_THROW(InsertOne(1, "S", [](Statement& s) { s.SetInt("V", 40000); }), DatabaseError);
  EXPECT_THROW(InsertOne(2, "I", [](Statement& s) { s.SetText("V", "3000000000"); }), DatabaseError);
  EXPECT_THROW(InsertOne(3, "I", [](Statement& s) { s.SetInt("V", 3000000000); }), DatabaseError);
}

TEST_P(StatementTest, TextsOfChangingLengthsAreStoredExactly) {
  // The parameter keeps the room of its longest text; each row must still get its own length.
  Statement insert(*transaction_, "insert into T (ID, W, V) values (:ID, :W, :V)");
  const char* const texts[] = {"a much longer text than the next ones", "ab", "", "abcd",
                               "an even longer text than the first one"};
  int id = 0;
  for (const char* text : texts) {
    insert.SetInt("ID", ++id);
    insert.SetText("W", text);
    insert.SetText("V", std::string_view(text).substr(0, 5));
    insert.Execute();
  }
  Statement select(*transaction_, "select W, V from T order by ID");
  select.Open();
  for (const char* text : texts) {
    ASSERT_TRUE(select.Fetch());
    EXPECT_EQ(select.CurrentRow().AsText(0), text);
    EXPECT_EQ(select.CurrentRow().AsText(1), std::string_view(text).substr(0, 5));
  }
}

TEST_P(StatementTest, ColumnNamesAreFoundAgainEachTimeWhateverWasAskedBefore) {
  // Alike in length and in their first, middle and last letters, as a lookup shortcut might not tell apart.
  Statement select(*transaction_, "select 1 as ABCDE, 2 as AXCYE, 3 as abcde2 from RDB$DATABASE");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(select.CurrentRow().AsInt("ABCDE"), 1);
    EXPECT_EQ(select.CurrentRow().AsInt("AXCYE"), 2);
    EXPECT_EQ(select.CurrentRow().AsInt("abcde"), 1);
    EXPECT_EQ(select.CurrentRow().AsInt("ABCDE2"), 3);
    EXPECT_THROW(select.CurrentRow().AsInt("AQCZE"), DatabaseError);
  }
}

TEST_P(StatementTest, SetAllNullBindsEveryParameterNull) {
  Statement insert(*transaction_, "insert into T (ID, I, V, D) values (:ID, :I, :V, :D)");
  insert.SetInt("ID", 1);
  insert.SetInt("I", 7);
  insert.SetText("V", "x");
  insert.SetDouble("D", 1.5);
  insert.Execute();
  insert.SetAllNull();
  insert.Execute();
  Statement select(*transaction_,
                   "select count(*) from T where ID is null and I is null and V is null and D is null");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(select.CurrentRow().AsInt(0), 1);
}

TEST_P(StatementTest, BytesAreStoredAndComparedUnchanged) {
  std::string bytes;
  for (int b = 128; b <= 255; ++b) bytes += static_cast<char>(b);
  bytes += " ends with blanks  ";
  InsertOne(1, "W", [&](Statement& s) { s.SetText("V", bytes); });
  EXPECT_EQ(SelectOne(1, "W")->CurrentRow().AsText(0), bytes);

  Statement find(*transaction_, "select ID from T where W = :W");
  find.SetText("W", bytes);
  find.Open();
  ASSERT_TRUE(find.Fetch());
  EXPECT_EQ(find.CurrentRow().AsInt(0), 1);
}

TEST_P(StatementTest, DescribesParametersAndColumns) {
  Statement insert(*transaction_, "insert into T (ID, S, V, D) values (:ID, :S, :V, :D)");
  ASSERT_EQ(insert.ParameterCount(), 4);
  EXPECT_EQ(insert.Parameter(2).name, "V");
  EXPECT_EQ(insert.Parameter(2).type, FieldType::VarChar);
  EXPECT_EQ(insert.Parameter(2).length, 5);  // the length the importer cuts texts to
  EXPECT_EQ(insert.Parameter(1).type, FieldType::SmallInt);
  EXPECT_EQ(insert.Parameter(3).type, FieldType::Double);
  EXPECT_EQ(insert.ParameterIndex("v"), 2);

  Statement select(*transaction_, "select ID, V as SHORTTEXT, count(*) over () from T");
  ASSERT_EQ(select.CurrentRow().ColumnCount(), 3);
  EXPECT_EQ(select.CurrentRow().Column(1).name, "SHORTTEXT");
  EXPECT_EQ(select.CurrentRow().Column(1).length, 5);
  EXPECT_EQ(select.CurrentRow().ColumnIndex("shorttext"), 1);
  EXPECT_EQ(select.CurrentRow().Column(2).type, FieldType::BigInt);
}

TEST_P(StatementTest, TextLongerThanTheColumnIsRefusedAndFitsWhenCut) {
  const std::string text = "ABCDEFG";
  Statement insert(*transaction_, "insert into T (ID, V) values (1, :V)");
  insert.SetText("V", text);
  try {
    insert.Execute();
    FAIL() << "a 7-byte text went into VARCHAR(5)";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -303);
    EXPECT_NE(std::string(error.what()).find("truncation"), std::string::npos) << error.what();
  }
  insert.SetText("V", text.substr(0, insert.Parameter(0).length));
  insert.Execute();
  EXPECT_EQ(SelectOne(1, "V")->CurrentRow().AsText(0), "ABCDE");
}

TEST_P(StatementTest, OneParameterTakesAnotherKindOfValueOnEachExecute) {
  Statement insert(*transaction_, "insert into T (ID, D) values (:ID, :D)");
  const auto run = [&](int id, auto bind) {
    insert.SetInt("ID", id);
    bind();
    insert.Execute();
  };
  run(1, [&] { insert.SetText("D", "2.25"); });
  run(2, [&] { insert.SetInt("D", -3); });
  run(3, [&] { insert.SetNull("D"); });
  run(4, [&] { insert.SetDouble("D", 1e10); });
  run(5, [&] { insert.SetText("D", "7"); });
  Statement select(*transaction_, "select D from T order by ID");
  select.Open();
  std::string seen;
  while (select.Fetch())
    seen += (select.CurrentRow().IsNull(0) ? "NULL" : select.CurrentRow().AsText(0)) + " ";
  EXPECT_EQ(seen, "2.25 -3 NULL 10000000000 7 ");
}

// A snapshot and a saved row keep their values while the statement fetches on.
TEST_P(StatementTest, SnapshotsAndSavedRowsKeepTheirRow) {
  InsertOne(1, "V", [](Statement& s) { s.SetText("V", "one"); });
  InsertOne(2, "V", [](Statement& s) { s.SetNull("V"); });
  Statement select(*transaction_, "select ID, V, DT from T order by ID");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  const db::Row first = select.CurrentRow().Snapshot();
  const std::string saved = select.CurrentRow().Save();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(first.AsText("V") + "|" + first.AsText(0), "one|1");
  EXPECT_TRUE(select.CurrentRow().IsNull("V"));
  select.CurrentRow().Load(saved);
  EXPECT_EQ(select.CurrentRow().AsText("v"), "one");
  EXPECT_FALSE(select.Fetch());
  EXPECT_EQ(first.AsInt("ID"), 1);
  EXPECT_THROW(select.CurrentRow().Load(saved.substr(1)), DatabaseError);
  EXPECT_THROW(first.AsText("MISSING"), DatabaseError);
}

TEST_P(StatementTest, SelectPreparedOnceOpensAgainWithNewParameters) {
  Statement insert(*transaction_, "insert into T (ID, V) values (:ID, :V)");
  for (const auto& [id, v] : {std::pair{1, "a"}, {2, "b"}, {3, "b"}, {4, "c"}}) {
    insert.SetInt("ID", id);
    insert.SetText("V", v);
    insert.Execute();
  }
  // The name occurs twice, as in the document's queries; binding by name sets both.
  Statement select(*transaction_, "select ID from T where V = :parV or W = :parV order by ID");
  ASSERT_EQ(select.ParameterCount(), 2);
  const auto idsFor = [&](const char* v) {
    select.SetText("parV", v);
    select.Open();
    std::string ids;
    while (select.Fetch()) ids += select.CurrentRow().AsText(0);
    select.Close();
    return ids;
  };
  EXPECT_EQ(idsFor("b"), "23");
  EXPECT_EQ(idsFor("a"), "1");
  EXPECT_EQ(idsFor("x"), "");
  // Open closes a cursor that is still open.
  select.SetText("parV", "c");
  select.Open();
  select.Open();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(select.CurrentRow().AsInt(0), 4);
}

TEST_P(StatementTest, CountIsASixtyFourBitInteger) {
  transaction_->ExecuteImmediate("insert into T (ID) values (1)");
  transaction_->ExecuteImmediate("insert into T (ID) values (2)");
  Statement count(*transaction_, "select count(*) from T");
  count.Open();
  ASSERT_TRUE(count.Fetch());
  EXPECT_EQ(count.CurrentRow().Column(0).type, FieldType::BigInt);
  EXPECT_EQ(count.CurrentRow().AsInt(0), 2);
  EXPECT_EQ(count.CurrentRow().AsText(0), "2");
}

TEST_P(StatementTest, DatesAndScaledNumbersReadAsText) {
  transaction_->ExecuteImmediate("insert into T (ID, DT) values (1, '2024-03-01')");
  EXPECT_EQ(SelectOne(1, "DT")->CurrentRow().AsText(0), "2024-03-01");
  const auto scaled = SelectOne(1, "cast(-12.5 as numeric(9,2))");
  EXPECT_EQ(scaled->CurrentRow().AsText(0), "-12.50");
  EXPECT_DOUBLE_EQ(scaled->CurrentRow().AsDouble(0), -12.5);
}

TEST_P(StatementTest, UnknownNamesAndMisuseRaiseErrorsThatSaySo) {
  Statement insert(*transaction_, "insert into T (ID) values (:ID)");
  try {
    insert.SetText("NOPE", "x");
    FAIL() << "no error for an unknown parameter";
  } catch (const DatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("NOPE"), std::string::npos) << error.what();
  }
  EXPECT_THROW(insert.Open(), DatabaseError);
  Statement select(*transaction_, "select ID from T");
  EXPECT_THROW(select.CurrentRow().ColumnIndex("MISSING"), DatabaseError);
  EXPECT_THROW(select.Execute(), DatabaseError);
  EXPECT_THROW(select.Fetch(), DatabaseError);
  try {
    Statement broken(*transaction_, "select NOSUCHCOLUMN from T");
    FAIL() << "a statement naming a missing column was prepared";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -206);
    EXPECT_NE(std::string(error.what()).find("NOSUCHCOLUMN"), std::string::npos) << error.what();
  }
}

// A block's own variables are written ":x" too: such a statement goes to the server unchanged.
TEST_P(StatementTest, PositionalStatementKeepsTheBlocksVariables) {
  Statement block(*transaction_,
                  "execute block (x integer = ?) returns (y integer) as begin y = :x * 2; suspend; end",
                  db::ParameterMarkers::Positional);
  ASSERT_EQ(block.ParameterCount(), 1);
  block.SetInt(0, 21);
  block.Open();
  ASSERT_TRUE(block.Fetch());
  EXPECT_EQ(block.CurrentRow().AsInt("Y"), 42);
}

KX_DB_TEST_EMBEDDED(StatementTest);

}  // namespace
}  // namespace kx::dbtest
