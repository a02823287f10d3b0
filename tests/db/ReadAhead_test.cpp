// A query read ahead by its own thread gives what the statement gives read directly: the same rows
// in order, across many blocks and while other statements of the transaction run, and an error
// after the same rows. Both ways to the database.
#include "db/ReadAhead.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/DatabaseError.h"
#include "support/DbTestSupport.h"

namespace kx::dbtest {
namespace {

class ReadAheadTest : public DbTest {
 protected:
  void CreateTables() override {
    ExecuteAll(*connection_, {"create table T (ID integer, V varchar(20))",
                              "execute block as declare i integer = 0; begin while (i < 3000) do begin "
                              "insert into T values (:i, 'row ' || :i); i = i + 1; end end"});
  }

  struct Read {
    std::vector<std::string> rows;
    std::optional<std::string> error;
    bool operator==(const Read&) const = default;
  };

  // Every row of sql as "column 0|column 1", and the error that ended the reading, if any.
  template <typename Next, typename Current>
  static Read Collect(Next next, Current current) {
    Read read;
    try {
      while (next()) read.rows.push_back(current().AsText(0) + "|" + current().AsText(1));
    } catch (const db::DatabaseError& e) {
      read.error = e.what();
    }
    return read;
  }

  Read Direct(const std::string& sql) {
    db::Statement query(*transaction_, sql);
    query.Open();
    return Collect([&] { return query.Fetch(); }, [&]() -> const db::Row& { return query.CurrentRow(); });
  }

  // Through ReadAhead, running another statement of the transaction every 100 rows.
  Read Ahead(const std::string& sql) {
    db::Statement query(*transaction_, sql);
    db::Statement other(*transaction_, "select count(*) from T where ID < 10");
    db::ReadAhead rows(query);
    rows.Open();
    std::size_t fetched = 0;
    return Collect(
        [&] {
          if (++fetched % 100 == 0) {
            other.Open();
            EXPECT_TRUE(other.Fetch());
            EXPECT_EQ(other.CurrentRow().AsInt(0), 10);
            other.Close();
          }
          return rows.Fetch();
        },
        [&]() -> const db::Row& { return rows.Current(); });
  }
};

TEST_P(ReadAheadTest, GivesWhatTheStatementGives) {
  for (const char* sql :
       {"select ID, V from T order by ID", "select ID, V from T where ID > 2990 order by ID",
        "select ID, V from T where ID < 0", "select ID, 1000 / (ID - 1700) from T order by ID"}) {
    const Read direct = Direct(sql);
    EXPECT_EQ(Ahead(sql), direct) << sql;
  }
  EXPECT_EQ(Direct("select ID, V from T order by ID").rows.size(), 3000u);
  EXPECT_TRUE(Direct("select ID, 1000 / (ID - 1700) from T order by ID").error.has_value());
}

TEST_P(ReadAheadTest, LeftEarlyItStopsAndClosesItsCursor) {
  db::Statement query(*transaction_, "select ID, V from T order by ID");
  {
    db::ReadAhead rows(query);
    rows.Open();
    ASSERT_TRUE(rows.Fetch());
    EXPECT_EQ(rows.Current().AsInt(0), 0);
  }
  EXPECT_FALSE(query.IsOpen());
  query.Open();
  EXPECT_TRUE(query.Fetch());
}

KX_DB_TEST_BOTH_WAYS(ReadAheadTest);

}  // namespace
}  // namespace kx::dbtest
