#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "staging/ImportTarget.h"

namespace kx {

// Inserts the importer's rows through another target on a thread of its own, so that the importer
// splits and converts the next records while the database inserts the earlier ones: on two cores
// a large load then takes about as long as its inserts alone.
//
// Rows go over in batches of rowsPerBatch; while two batches wait, Post waits too, so memory
// stays bounded whatever the file's size. Every row's outcome comes back through TakeOutcome in
// the order of the rows, as the inner target would have given it: a refusal carries the message
// of whatever the inner target raised for that row. The inner target belongs to the queue's
// thread from construction to destruction; its transaction may be used elsewhere only after a
// Flush and before the next row is posted (StagingLoad commits there).
class InsertQueue final : public ImportTarget {
 public:
  explicit InsertQueue(ImportTarget& inner, std::size_t rowsPerBatch = 512);
  ~InsertQueue() override;
  InsertQueue(const InsertQueue&) = delete;
  InsertQueue& operator=(const InsertQueue&) = delete;

  const std::vector<ImportField>& Fields() const override { return inner_.Fields(); }
  void BeginRow() override;
  void SetText(std::size_t field, std::string_view value) override;
  void SetInt(std::size_t field, int64_t value) override;
  void SetDouble(std::size_t field, double value) override;
  void SetNull(std::size_t field) override;
  void Post() override;
  void Cancel() override;

  bool Defers() const override { return true; }
  // Hands over the rows gathered so far and waits until the inner target has sent them all.
  void Flush() override;
  std::optional<PostedRow> TakeOutcome() override;

 private:
  // The calls for some rows, replayed in order on the inner target.
  struct Batch {
    enum class Op : uint8_t { Begin, Text, Int, Double, Null, Post };
    struct Span {
      uint32_t offset;
      uint32_t length;
    };
    struct Step {
      Op op;
      uint32_t field;
      union {
        int64_t integer;
        double real;
        Span text;  // in texts
      };
    };
    std::vector<Step> steps;
    std::string texts;  // the text values, one after the other
    std::size_t rows = 0;
    bool flush = false;  // the inner target sends what it holds once the batch is in
  };

  void Add(Batch::Op op, std::size_t field);
  // Queues the filling batch (waiting while the queue is full) and starts a new one.
  void Send(bool flush);
  void WaitUntilIdle();
  // The queue's thread: replays batches until the queue is stopped.
  void Work();
  void Replay(const Batch& batch);
  // One call of a row on the inner target.
  void Apply(const Batch& batch, const Batch::Step& step);
  // Moves the outcomes that are known, in row order, from pending_ to outcomes_.
  void Settle();

  ImportTarget& inner_;
  const std::size_t rowsPerBatch_;
  // Importer side.
  Batch filling_;
  std::optional<std::size_t> openRow_;  // where the row begun but not posted starts in filling_.steps
  std::size_t openTexts_ = 0;

  // Shared, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> queued_;
  std::vector<Batch> spare_;  // replayed batches, kept for their storage
  bool busy_ = false;         // the thread is replaying a batch
  bool stopping_ = false;
  std::exception_ptr failure_;  // what stopped the thread
  std::deque<PostedRow> outcomes_;

  // The queue's thread only: rows replayed whose outcome the inner target still owes (nullopt).
  std::deque<std::optional<PostedRow>> pending_;

  std::thread worker_;  // last: started when everything it uses exists
};

}  // namespace kx
