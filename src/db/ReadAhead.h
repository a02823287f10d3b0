#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "db/Row.h"
#include "db/Statement.h"

namespace kx::db {

// A query's rows read by a thread of its own, ahead of the caller: the database fetches the next
// rows while the caller works on the ones it has, so a long walk costs about the longer of the
// two instead of their sum. The rows come in the query's order, copied (Row::Save) a block at a
// time and at most a few blocks ahead, so memory stays bounded whatever the result's size.
//
// From Open until the destructor the statement belongs to the thread. Other statements of the
// same transaction may run meanwhile: the client takes calls on one attachment one at a time.
// The destructor stops the thread and closes the cursor, and must run before the transaction ends.
class ReadAhead {
 public:
  explicit ReadAhead(Statement& query);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts the thread, which opens the query with its current parameters. Runs once.
  void Open();
  // The next row into Current; false after the last. Raises what the thread met when the caller
  // reaches the row it failed on.
  bool Fetch();
  // The row Fetch read last, with the statement's columns.
  const Row& Current() const { return row_; }

 private:
  struct Block {
    std::string rows;               // saved rows, one after the other
    std::vector<std::size_t> ends;  // where each row ends in rows
    bool last = false;              // no rows follow this block
  };

  void Read();
  // Hands a filled block over, waiting while the caller has enough; false when told to stop.
  bool Hand(Block& block);

  Statement& query_;
  Row row_;
  // Caller side: the block being read and the next row in it.
  Block current_;
  std::size_t next_ = 0;
  bool ended_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> ready_;
  bool stopping_ = false;
  std::exception_ptr failure_;  // raised after the rows read before it
  std::thread reader_;
};

}  // namespace kx::db
