#include "db/ReadAhead.h"

#include <exception>

#include "db/DatabaseError.h"

namespace kx::db {
namespace {

// Rows a block takes, and blocks the worker may read ahead of the caller.
constexpr std::size_t kRowsPerBlock = 512;
constexpr std::size_t kBlocksAhead = 4;

}  // namespace

ReadAhead::ReadAhead(Statement& query) : query_(query), row_(query.CurrentRow().Snapshot()) {
  current_.last = true;  // nothing to read before Open
}

ReadAhead::~ReadAhead() {
  reader_.reset();  // the worker is gone before the cursor closes
  query_.Close();
}

void ReadAhead::Open() {
  if (reader_) throw DatabaseError("a query read ahead is opened once");
  current_ = Block();
  next_ = 0;
  reader_.emplace(kBlocksAhead, [this](Ask&) { return ReadBlock(); });
  for (std::size_t i = 0; i < kBlocksAhead; ++i) reader_->Put(Ask{});
}

bool ReadAhead::Fetch() {
  while (next_ == current_.ends.size()) {
    if (current_.last) return false;
    std::optional<Block> block = reader_->Take();
    if (!block) return false;
    current_ = std::move(*block);
    next_ = 0;
    if (!current_.last) reader_->Put(Ask{});  // one was just taken: nothing comes back
  }
  const std::size_t begin = next_ == 0 ? 0 : current_.ends[next_ - 1];
  row_.Load(std::string_view(current_.rows).substr(begin, current_.ends[next_] - begin));
  ++next_;
  return true;
}

ReadAhead::Block ReadAhead::ReadBlock() {
  if (failure_) std::rethrow_exception(failure_);
  Block block;
  block.rows.reserve(blockBytes_);  // the next block's rows take about as much as the last's
  block.ends.reserve(kRowsPerBlock);
  try {
    if (!opened_) {
      query_.Open();
      opened_ = true;
    }
    while (!exhausted_ && block.ends.size() < kRowsPerBlock) {
      if (!query_.Fetch()) {
        exhausted_ = true;
        break;
      }
      query_.CurrentRow().SaveTo(block.rows);
      block.ends.push_back(block.rows.size());
    }
  } catch (...) {
    // The rows read before the failure come first; the next block is the failure.
    if (block.ends.empty()) throw;
    failure_ = std::current_exception();
  }
  block.last = exhausted_;
  blockBytes_ = block.rows.size();
  return block;
}

}  // namespace kx::db
