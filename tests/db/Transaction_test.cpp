// Transaction ends, against real databases both ways.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

#include "db/DatabaseError.h"
#include "db/Statement.h"
#include "support/DbTestSupport.h"

namespace kx::dbtest {
namespace {

using db::DatabaseError;
using db::Statement;
using db::Transaction;

class TransactionTest : public DbTest {
 protected:
  void CreateTables() override {
    ExecuteAll(*connection_,
               {"create table T (ID integer)", "alter table T add constraint UQ_T unique (ID)"});
  }

  void Insert(Transaction& transaction, int id) {
    Statement insert(transaction, "insert into T (ID) values (:ID)");
    insert.SetInt("ID", id);
    insert.Execute();
  }
};

TEST_P(TransactionTest, CommitRetainingKeepsTheTransactionAndCommitsTheWorkSoFar) {
  Statement insert(*transaction_, "insert into T (ID) values (:ID)");
  insert.SetInt("ID", 1);
  insert.Execute();
  transaction_->CommitRetaining();
  EXPECT_TRUE(transaction_->IsActive());
  EXPECT_EQ(CountFromOutside("T"), 1);
  insert.SetInt("ID", 2);
  insert.Execute();  // the prepared statement goes on in the retained transaction
  transaction_->Rollback();
  EXPECT_FALSE(transaction_->IsActive());
  EXPECT_EQ(CountFromOutside("T"), 1);
}

TEST_P(TransactionTest, DestructorRollsBack) {
  {
    Transaction scoped(*connection_);
    scoped.Start();
    Insert(scoped, 1);
  }
  EXPECT_EQ(CountFromOutside("T"), 0);
}

TEST_P(TransactionTest, CommitEndsAndTheSameObjectStartsAgain) {
  Insert(*transaction_, 1);
  transaction_->Commit();
  EXPECT_FALSE(transaction_->IsActive());
  EXPECT_THROW(transaction_->Commit(), DatabaseError);
  EXPECT_THROW(transaction_->CommitRetaining(), DatabaseError);
  transaction_->Start();
  EXPECT_THROW(transaction_->Start(), DatabaseError);
  Insert(*transaction_, 2);
  transaction_->Commit();
  EXPECT_EQ(CountFromOutside("T"), 2);
}

// A record the database refuses fails alone: the transaction, and the statement, go on.
TEST_P(TransactionTest, DuplicateKeyFailsThatInsertOnly) {
  Statement insert(*transaction_, "insert into T (ID) values (:ID)");
  insert.SetInt("ID", 1);
  insert.Execute();
  try {
    insert.Execute();
    FAIL() << "a duplicate key was inserted";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.SqlCode(), -803);
    const std::string message = error.what();
    EXPECT_NE(message.find("UQ_T"), std::string::npos) << message;
  }
  insert.SetInt("ID", 2);
  insert.Execute();
  transaction_->Commit();
  EXPECT_EQ(CountFromOutside("T"), 2);
}

// Statements belong to the connection: prepared once, they run in the next transaction too, and a
// cursor the commit closed opens again.
TEST_P(TransactionTest, StatementsGoOnInTheNextTransaction) {
  Insert(*transaction_, 1);
  Insert(*transaction_, 2);
  Statement select(*transaction_, "select ID from T order by ID");
  select.Open();
  ASSERT_TRUE(select.Fetch());
  transaction_->Commit();
  transaction_->Start();
  select.Open();
  ASSERT_TRUE(select.Fetch());
  EXPECT_EQ(select.CurrentRow().AsInt(0), 1);
  ASSERT_TRUE(select.Fetch());
  EXPECT_FALSE(select.Fetch());
}

KX_DB_TEST_EMBEDDED(TransactionTest);

// A reservation as a second attachment meets it: one of this process, or one through the server
// as another workstation's run would be.
class ReservationTest : public TransactionTest {
 protected:
  static constexpr std::array<std::string_view, 1> kTables = {"T"};

  // Whether a second attachment's run could reserve the table now (and then lets it go again).
  bool OtherAttachmentReserves() const {
    const std::unique_ptr<db::Connection> other = Attach();
    Transaction second(*other);
    try {
      second.StartReserving(kTables);
      return true;
    } catch (const DatabaseError& e) {
      EXPECT_TRUE(db::HeldElsewhere(e)) << e.what();
      return false;
    }
  }
};

TEST_P(ReservationTest, HeldAcrossCommitRetainingAndReleasedWhenTheHolderEndsOrItsAttachmentGoes) {
  transaction_->Commit();
  transaction_->StartReserving(kTables);
  Insert(*transaction_, 1);
  transaction_->CommitRetaining();
  EXPECT_FALSE(OtherAttachmentReserves());
  EXPECT_EQ(CountFromOutside("T"), 1) << "readers still read";
  transaction_->Commit();
  EXPECT_TRUE(OtherAttachmentReserves());

  transaction_->StartReserving(kTables);
  connection_->Detach();  // the holder's attachment gone, as when its process dies
  EXPECT_TRUE(OtherAttachmentReserves());
}

KX_DB_TEST_BOTH_WAYS(ReservationTest);

}  // namespace
}  // namespace kx::dbtest
