#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace kx {

// A thread of its own that turns each item the owner puts into a result, one at a time and in
// order, while the owner goes on with other work. At most `ahead` items are owed (put, their
// result not yet taken), so memory stays bounded however fast one side is: Put hands back the
// oldest result first when that many are owed. What the work raises reaches the owner from
// Take or Put, after the results made before it; the worker ends there and later items are
// dropped. The destructor stops the worker and waits for it. Once every result has been taken,
// or the destructor has returned, nothing runs on the worker, and what the work uses (a
// statement, the attachment) is the owner's alone again.
//
// Put and Take belong to one owning thread; the work runs on the worker only.
template <class In, class Out>
class WorkerQueue {
 public:
  WorkerQueue(std::size_t ahead, std::function<Out(In&)> work)
      : ahead_(ahead > 0 ? ahead : 1), work_(std::move(work)), worker_([this] { Work(); }) {}
  ~WorkerQueue() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  WorkerQueue(const WorkerQueue&) = delete;
  WorkerQueue& operator=(const WorkerQueue&) = delete;

  // Hands an item to the worker. When `ahead` items are owed, first waits for the oldest one's
  // result and returns it.
  std::optional<Out> Put(In item) {
    std::unique_lock lock(mutex_);
    std::optional<Out> oldest;
    if (owed_ >= ahead_) oldest = TakeLocked(lock);
    if (!ended_) {
      inbox_.push_back(std::move(item));
      ++owed_;
    }
    lock.unlock();
    changed_.notify_all();
    return oldest;
  }

  // The result of the oldest item owed, waiting for it; nullopt when none is owed.
  std::optional<Out> Take() {
    std::unique_lock lock(mutex_);
    std::optional<Out> result = TakeLocked(lock);
    lock.unlock();
    return result;
  }

  // Items put whose results have not been taken.
  std::size_t Owed() const {
    const std::lock_guard lock(mutex_);
    return owed_;
  }

 private:
  std::optional<Out> TakeLocked(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !outbox_.empty() || owed_ == 0 || ended_; });
    if (!outbox_.empty()) {
      Out result = std::move(outbox_.front());
      outbox_.pop_front();
      --owed_;
      return result;
    }
    if (failure_) {
      owed_ = 0;
      std::rethrow_exception(std::exchange(failure_, nullptr));
    }
    return std::nullopt;
  }

  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return !inbox_.empty() || stopping_; });
      if (stopping_) return;
      In item = std::move(inbox_.front());
      inbox_.pop_front();
      lock.unlock();
      std::optional<Out> result;
      std::exception_ptr failure;
      try {
        result.emplace(work_(item));
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure) {
        failure_ = failure;
        ended_ = true;
        inbox_.clear();
        owed_ = outbox_.size() + 1;  // the failure is owed after the results made before it
      } else {
        outbox_.push_back(std::move(*result));
      }
      changed_.notify_all();
      if (failure) return;
    }
  }

  const std::size_t ahead_;
  const std::function<Out(In&)> work_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<In> inbox_;
  std::deque<Out> outbox_;
  std::size_t owed_ = 0;  // put, result not taken
  bool stopping_ = false;
  bool ended_ = false;          // the work failed: nothing more is done
  std::exception_ptr failure_;  // what it raised, until Take hands it over
  std::thread worker_;          // last: started once everything it uses exists
};

}  // namespace kx
