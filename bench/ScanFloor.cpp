#include "ScanFloor.h"

#include <algorithm>
#include <string_view>

#include "db/ClientLibrary.h"
#include "db/Connection.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "platform/AtomicFile.h"

namespace kx::bench {
namespace {

constexpr std::size_t kBufferSize = 65535;  // the document writer's buffer

// Collects text in a buffer of the writer's size and writes at most limit bytes in all.
class LimitedOutput {
 public:
  LimitedOutput(const std::string& path, int64_t limit) : file_(path), limit_(limit) {
    buffer_.reserve(kBufferSize);
  }

  void Append(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBufferSize) Flush();
  }
  // Writes the rest and fills up to the limit with the last buffer's bytes again.
  int64_t Finish() {
    if (!buffer_.empty()) last_ = buffer_;
    Flush();
    if (last_.empty()) last_ = std::string(kBufferSize, ' ');
    while (written_ < limit_) Write(last_);
    file_.Commit();
    return written_;
  }

 private:
  void Flush() {
    if (buffer_.empty()) return;
    Write(buffer_);
    last_.swap(buffer_);
    buffer_.clear();
  }
  void Write(std::string_view bytes) {
    const auto count =
        static_cast<std::size_t>(std::min<int64_t>(limit_ - written_, static_cast<int64_t>(bytes.size())));
    if (count == 0) return;
    file_.Write(bytes.data(), count);
    written_ += static_cast<int64_t>(count);
  }

  AtomicFileStream file_;
  int64_t limit_;
  int64_t written_ = 0;
  std::string buffer_;
  std::string last_;
};

int64_t ScanTable(db::Transaction& transaction, std::string_view table, LimitedOutput& out) {
  db::Statement scan(transaction, "select * from " + std::string(table));
  scan.Open();
  int64_t rows = 0;
  const int columns = scan.CurrentRow().ColumnCount();
  while (scan.Fetch()) {
    for (int c = 0; c < columns; ++c) {
      out.Append(scan.CurrentRow().AsText(c));
      out.Append(";");
    }
    out.Append("\n");
    ++rows;
  }
  scan.Close();
  return rows;
}

}  // namespace

ScanResult ScanStagingTables(const std::string& database, const std::string& outputFile, int64_t bytes) {
  const db::ClientLibrary client;
  db::Connection connection(client, database);
  db::Transaction transaction(connection);
  transaction.Start();
  LimitedOutput out(outputFile, bytes);
  ScanResult result;
  result.rows = ScanTable(transaction, "BESTAENDE", out) + ScanTable(transaction, "TRANSAKTIONEN", out);
  result.bytes = out.Finish();
  transaction.Commit();
  return result;
}

}  // namespace kx::bench
