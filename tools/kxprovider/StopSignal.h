#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kx {

// Raised once when the simulator shuts down; every deliberate pause waits on it, so a stalled
// answer never holds up the shutdown.
class StopSignal {
 public:
  void Raise() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }

  bool Raised() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return raised_;
  }

  // Waits for the duration or until raised; true when raised.
  bool WaitFor(std::chrono::milliseconds duration) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, duration, [this] { return raised_; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool raised_ = false;
};

}  // namespace kx
