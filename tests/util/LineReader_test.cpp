#include "util/LineReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"
#include "util/Error.h"
#include "util/WholeFile.h"

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

// A folder named where a file is expected fails as a missing file does, with the system's text,
// instead of being read as an empty file.
TEST(LineReader, MissingFilesAndFoldersFailWithTheSystemsText) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path() / "folder");
  const struct {
    std::string name;
    std::string reason;
  } cases[] = {{"none.txt", "No such file or directory"}, {"folder", "Is a directory"}};
  for (const auto& c : cases) {
    const std::string path = (dir.Path() / c.name).string();
    const std::string message = "Cannot open file " + path + ": " + c.reason;
    const auto failure = [&](auto read) {
      try {
        read();
      } catch (const FileError& e) {
        return std::string(e.what());
      }
      return std::string("no error");
    };
    EXPECT_EQ(failure([&] { LineReader reader(path); }), message);
    EXPECT_EQ(failure([&] { ReadWholeFile(path); }), message);
    EXPECT_EQ(failure([&] { CountLines(path); }), message);
  }
}

}  // namespace
}  // namespace kx
