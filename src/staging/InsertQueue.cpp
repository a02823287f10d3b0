#include "staging/InsertQueue.h"

#include <utility>

namespace kx {
namespace {

// Batches waiting for the thread while the importer fills the next one.
constexpr std::size_t kQueuedBatches = 2;

}  // namespace

InsertQueue::InsertQueue(ImportTarget& inner, std::size_t rowsPerBatch)
    : inner_(inner), rowsPerBatch_(rowsPerBatch > 0 ? rowsPerBatch : 1), worker_([this] { Work(); }) {}

InsertQueue::~InsertQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void InsertQueue::Add(Batch::Op op, std::size_t field) {
  filling_.steps.push_back({op, static_cast<uint32_t>(field), {}});
}

void InsertQueue::BeginRow() {
  Cancel();
  openRow_ = filling_.steps.size();
  openTexts_ = filling_.texts.size();
  Add(Batch::Op::Begin, 0);
}

void InsertQueue::SetText(std::size_t field, std::string_view value) {
  Add(Batch::Op::Text, field);
  filling_.steps.back().text = {static_cast<uint32_t>(filling_.texts.size()),
                                static_cast<uint32_t>(value.size())};
  filling_.texts.append(value);
}

void InsertQueue::SetInt(std::size_t field, int64_t value) {
  Add(Batch::Op::Int, field);
  filling_.steps.back().integer = value;
}

void InsertQueue::SetDouble(std::size_t field, double value) {
  Add(Batch::Op::Double, field);
  filling_.steps.back().real = value;
}

void InsertQueue::SetNull(std::size_t field) { Add(Batch::Op::Null, field); }

void InsertQueue::Post() {
  Add(Batch::Op::Post, 0);
  openRow_.reset();
  if (++filling_.rows == rowsPerBatch_) Send(false);
}

void InsertQueue::Cancel() {
  if (!openRow_) return;
  filling_.steps.resize(*openRow_);
  filling_.texts.resize(openTexts_);
  openRow_.reset();
}

void InsertQueue::Flush() {
  Cancel();
  Send(true);
  WaitUntilIdle();
}

std::optional<PostedRow> InsertQueue::TakeOutcome() {
  const std::lock_guard lock(mutex_);
  if (failure_) std::rethrow_exception(failure_);
  if (outcomes_.empty()) return std::nullopt;
  PostedRow outcome = std::move(outcomes_.front());
  outcomes_.pop_front();
  return outcome;
}

void InsertQueue::Send(bool flush) {
  filling_.flush = flush;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queued_.size() < kQueuedBatches || failure_; });
    if (failure_) std::rethrow_exception(failure_);
    queued_.push_back(std::move(filling_));
    if (spare_.empty()) {
      filling_ = Batch();
    } else {
      filling_ = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  changed_.notify_all();
}

void InsertQueue::WaitUntilIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return (queued_.empty() && !busy_) || failure_; });
  if (failure_) std::rethrow_exception(failure_);
}

void InsertQueue::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queued_.empty() || stopping_; });
    if (stopping_) return;
    Batch batch = std::move(queued_.front());
    queued_.pop_front();
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    std::exception_ptr failure;
    try {
      Replay(batch);
    } catch (...) {
      failure = std::current_exception();
    }
    batch.steps.clear();
    batch.texts.clear();
    batch.rows = 0;
    lock.lock();
    busy_ = false;
    spare_.push_back(std::move(batch));
    if (failure) failure_ = failure;
    changed_.notify_all();
    if (failure_) return;
  }
}

void InsertQueue::Replay(const Batch& batch) {
  // A row's calls go to the inner target as the importer made them; whatever one of them raises
  // refuses that row alone, as it would have without the queue.
  std::optional<std::string> refusal;
  for (const Batch::Step& step : batch.steps) {
    if (!refusal) {
      try {
        Apply(batch, step);
      } catch (const std::exception& e) {
        inner_.Cancel();
        refusal = e.what();
      }
    }
    if (step.op != Batch::Op::Post) continue;
    if (refusal) {
      pending_.emplace_back(PostedRow{false, std::move(*refusal)});
      refusal.reset();
    } else {
      pending_.push_back(inner_.Defers() ? std::nullopt : std::optional<PostedRow>(PostedRow{}));
    }
  }
  if (batch.flush) inner_.Flush();
  Settle();
}

void InsertQueue::Apply(const Batch& batch, const Batch::Step& step) {
  switch (step.op) {
    case Batch::Op::Begin:
      inner_.BeginRow();
      return;
    case Batch::Op::Text:
      inner_.SetText(step.field, std::string_view(batch.texts).substr(step.text.offset, step.text.length));
      return;
    case Batch::Op::Int:
      inner_.SetInt(step.field, step.integer);
      return;
    case Batch::Op::Double:
      inner_.SetDouble(step.field, step.real);
      return;
    case Batch::Op::Null:
      inner_.SetNull(step.field);
      return;
    case Batch::Op::Post:
      inner_.Post();
      return;
  }
}

void InsertQueue::Settle() {
  std::deque<PostedRow> known;
  while (!pending_.empty()) {
    if (!pending_.front()) {
      std::optional<PostedRow> outcome = inner_.TakeOutcome();
      if (!outcome) break;
      pending_.front() = std::move(outcome);
    }
    known.push_back(std::move(*pending_.front()));
    pending_.pop_front();
  }
  const std::lock_guard lock(mutex_);
  for (PostedRow& outcome : known) outcomes_.push_back(std::move(outcome));
}

}  // namespace kx
