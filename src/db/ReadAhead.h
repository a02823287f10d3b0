#pragma once

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "db/Row.h"
#include "db/Statement.h"
#include "util/WorkerQueue.h"

namespace kx::db {

// A query's rows read by a worker thread, ahead of the caller: the database fetches the next
// rows while the caller works on the ones it has, so a long walk costs about the longer of the
// two instead of their sum. The rows come in the query's order, copied (Row::Save) a block at a
// time and at most a few blocks ahead, so memory stays bounded whatever the result's size.
//
// From Open until the destructor the statement belongs to the worker. Other statements of the
// same transaction may run meanwhile: the client takes calls on one attachment one at a time.
// The destructor stops the worker and closes the cursor, and must run before the transaction ends.
class ReadAhead {
 public:
  explicit ReadAhead(Statement& query);
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts the worker, which opens the query with its current parameters. Runs once.
  void Open();
  // The next row into Current; false after the last. Raises what the worker met when the
  // caller reaches the row it failed on.
  bool Fetch();
  // The row Fetch read last, with the statement's columns.
  const Row& Current() const { return row_; }

 private:
  struct Block {
    std::string rows;               // saved rows, one after the other
    std::vector<std::size_t> ends;  // where each row ends in rows
    bool last = false;              // no rows follow this block
  };
  struct Ask {};  // one more block, please

  // On the worker: the query's next rows.
  Block ReadBlock();

  Statement& query_;
  Row row_;
  // The caller's: the block being read and the next row in it.
  Block current_;
  std::size_t next_ = 0;
  // The worker's: the query is open, has given its last row, the size of the last block.
  bool opened_ = false;
  bool exhausted_ = false;
  std::size_t blockBytes_ = 0;
  std::exception_ptr failure_;  // met after some rows of a block: raised for the next one
  std::optional<WorkerQueue<Ask, Block>> reader_;
};

}  // namespace kx::db
