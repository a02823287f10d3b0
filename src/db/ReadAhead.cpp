#include "db/ReadAhead.h"

#include <utility>

#include "db/DatabaseError.h"

namespace kx::db {
namespace {

// Rows a block takes, and blocks the thread may read ahead of the caller.
constexpr std::size_t kRowsPerBlock = 512;
constexpr std::size_t kBlocksAhead = 4;

}  // namespace

ReadAhead::ReadAhead(Statement& query) : query_(query), row_(query.CurrentRow().Snapshot()) {
  current_.last = true;  // nothing to read before Open
  ended_ = true;
}

ReadAhead::~ReadAhead() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
  query_.Close();
}

void ReadAhead::Open() {
  if (reader_.joinable()) throw DatabaseError("a query read ahead is opened once");
  current_ = Block();
  next_ = 0;
  ended_ = false;
  reader_ = std::thread([this] { Read(); });
}

bool ReadAhead::Fetch() {
  while (next_ == current_.ends.size()) {
    if (ended_) return false;
    if (current_.last) {
      ended_ = true;
      const std::lock_guard lock(mutex_);
      if (failure_) std::rethrow_exception(failure_);
      return false;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !ready_.empty(); });
    current_ = std::move(ready_.front());
    ready_.pop_front();
    next_ = 0;
    lock.unlock();
    changed_.notify_all();
  }
  const std::size_t begin = next_ == 0 ? 0 : current_.ends[next_ - 1];
  row_.Load(std::string_view(current_.rows).substr(begin, current_.ends[next_] - begin));
  ++next_;
  return true;
}

void ReadAhead::Read() {
  Block block;
  try {
    query_.Open();
    while (query_.Fetch()) {
      query_.CurrentRow().SaveTo(block.rows);
      block.ends.push_back(block.rows.size());
      if (block.ends.size() == kRowsPerBlock && !Hand(block)) return;
    }
  } catch (...) {
    const std::lock_guard lock(mutex_);
    failure_ = std::current_exception();
  }
  block.last = true;
  Hand(block);
}

bool ReadAhead::Hand(Block& block) {
  const std::size_t room = block.rows.size();  // the next block's rows take about as much
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_.size() < kBlocksAhead || stopping_; });
    if (stopping_) return false;
    ready_.push_back(std::move(block));
  }
  changed_.notify_all();
  block = Block();
  block.rows.reserve(room);
  block.ends.reserve(kRowsPerBlock);
  return true;
}

}  // namespace kx::db
