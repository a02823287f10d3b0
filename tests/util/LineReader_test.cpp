#include "util/LineReader.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TempDir.h"
#include "util/Error.h"

namespace kx {
namespace {

using testsupport::TempDir;

std::vector<std::string> ReadAll(const std::string& path, std::size_t bufferSize) {
  LineReader reader(path, bufferSize);
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.Next(line)) lines.emplace_back(line);
  return lines;
}

// Every case is read with buffers from one byte up, so that each line break and each zero byte
// also fall on a buffer's edge.
TEST(LineReader, SplitsAtEveryBreakWhateverTheBufferSize) {
  const std::string longLine(1000, 'x');
  const struct {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"\n\n", {"", ""}},
      {"\r", {""}},
      {"a\r\r\nb\n\rc", {"a", "", "b", "", "c"}},
      {std::string("ab\0cd\nef", 8), {std::string("ab\0cd", 5), "ef"}},
      {std::string("x\n\0y", 4), {"x", std::string("\0y", 2)}},
      {longLine + "\r\n" + longLine, {longLine, longLine}},
  };
  TempDir dir;
  const std::string path = (dir.Path() / "lines.txt").string();
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::binary) << c.text;
    for (const std::size_t size : {1, 2, 3, 7, 64, 4096}) {
      EXPECT_EQ(ReadAll(path, size), c.lines) << testing::PrintToString(c.text) << " buffer " << size;
    }
    EXPECT_EQ(CountLines(path), static_cast<int64_t>(c.lines.size())) << testing::PrintToString(c.text);
  }
}

TEST(LineReader, MissingFileIsAFileError) {
  TempDir dir;
  EXPECT_THROW(LineReader((dir.Path() / "none.txt").string()), FileError);
}

}  // namespace
}  // namespace kx
