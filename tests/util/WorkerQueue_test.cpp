// The worker queue's hand-over: results in order, a failure after the results before it, and an
// end that neither hangs nor loses the failure.
#include "util/WorkerQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace kx {
namespace {

TEST(WorkerQueue, ResultsComeInTheOrderOfTheItems) {
  WorkerQueue<int, int> queue(2, [](int& item) {
    std::this_thread::sleep_for(std::chrono::milliseconds(item % 3));
    return item * 10;
  });
  EXPECT_EQ(queue.Take(), std::nullopt);  // nothing owed: no wait
  int next = 0;
  for (int item = 0; item < 20; ++item) {
    if (const std::optional<int> oldest = queue.Put(item)) {
      EXPECT_EQ(*oldest, 10 * next++);
    }
    EXPECT_LE(queue.Owed(), 2u);
  }
  while (const std::optional<int> result = queue.Take()) {
    EXPECT_EQ(*result, 10 * next++);
  }
  EXPECT_EQ(next, 20);
}

TEST(WorkerQueue, AFailureFollowsTheResultsBeforeItAndEndsTheWork) {
  std::atomic<int> worked = 0;
  WorkerQueue<int, int> queue(1, [&worked](int& item) {
    ++worked;
    if (item == 2) throw std::runtime_error("item 2");
    return item;
  });
  EXPECT_EQ(queue.Put(0), std::nullopt);
  EXPECT_EQ(queue.Put(1), 0);
  EXPECT_EQ(queue.Put(2), 1);
  EXPECT_THROW(queue.Put(3), std::runtime_error);  // item 2's failure, in its place
  EXPECT_EQ(queue.Put(4), std::nullopt);           // dropped: the work has ended
  EXPECT_EQ(queue.Take(), std::nullopt);
  EXPECT_EQ(worked, 3);
}

TEST(WorkerQueue, EndsWithItemsStillWaiting) {
  std::atomic<int> worked = 0;
  {
    WorkerQueue<int, int> queue(2, [&worked](int& item) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ++worked;
      return item;
    });
    for (int item = 0; item < 2; ++item) queue.Put(item);
  }
  EXPECT_LE(worked, 2);  // the destructor returned: the worker is gone, whatever it had left
}

}  // namespace
}  // namespace kx
