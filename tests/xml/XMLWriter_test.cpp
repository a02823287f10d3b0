// The XML writer: layout, escaping, buffering, value forms, and output that fails.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "support/TempDir.h"
#include "support/TestNames.h"
#include "util/Error.h"
#include "xml/XMLWriter.h"

namespace kx {
namespace {

// Collects what reaches the stream, and the size of every write.
class MemoryStream final : public OutputStream {
 public:
  void Write(const char* bytes, std::size_t count) override {
    text.append(bytes, count);
    writes.push_back(count);
  }
  std::string text;
  std::vector<std::size_t> writes;
};

// A disk that fills up after a number of bytes.
class FailingStream final : public OutputStream {
 public:
  explicit FailingStream(std::size_t capacity) : capacity_(capacity) {}
  void Write(const char* bytes, std::size_t count) override {
    if (written_ + count > capacity_) throw FileError("disk full", "test");
    written_ += count;
    (void)bytes;
  }

 private:
  std::size_t capacity_;
  std::size_t written_ = 0;
};

std::string Fixed(int precision, int decimals, double value) {
  return TXMLWriter::FormatFixed(precision, decimals, value);
}

// --- Layout and escaping ------------------------------------------------------------------------

TEST(XMLWriter, WritesIndentedElementsWithoutALineBreakAtTheEnd) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.WriteTag("XML", TXMLWriter::tkOpen);
  w.WriteElement("A", "x<y & 'z'");
  w.WriteTag("XML", TXMLWriter::tkClose);
  EXPECT_EQ(out.text, "\r\n<XML>\r\n  <A>x&lt;y &amp; &apos;z&apos;</A>\r\n</XML>");
}

TEST(XMLWriter, NestedContainersIndentTwoBlanksPerLevel) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.WriteTag("A", TXMLWriter::tkOpen);
  w.WriteTag("B", TXMLWriter::tkOpen);
  w.WriteEmptyElement("C");
  w.WriteTag("B", TXMLWriter::tkClose);
  w.WriteTag("A", TXMLWriter::tkClose);
  EXPECT_EQ(out.text, "\r\n<A>\r\n  <B>\r\n    <C />\r\n  </B>\r\n</A>");
  EXPECT_EQ(w.Depth(), 0);
}

TEST(XMLWriter, EscapesByTheTable) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.WriteText("M\xFCller \"\xDF\" <>&' \t\r\n\x01\x1F\x7F\x80\xFF!");
  w.WriteText(std::string_view("a\0b", 3));  // a zero byte a provider file brought is dropped too
  EXPECT_EQ(out.text, "M&#252;ller &quot;&#223;&quot; &lt;&gt;&amp;&apos; \t\r\n&#128;&#255;!ab");
}

TEST(XMLWriter, EmptyTextElementIsLeftOutEntirely) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.WriteElement("A", "");
  EXPECT_EQ(out.text, "");
}

TEST(XMLWriter, IntElementsHaveNoGrouping) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.WriteIntElement("N", -1234567890123LL);
  EXPECT_EQ(out.text, "\r\n<N>-1234567890123</N>");
}

// --- Dates --------------------------------------------------------------------------------------

TEST(XMLWriter, DateElementsInTheNeutralForms) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.NeutralFormats = true;
  w.WriteDateElement("Z", 0);
  w.WriteDateElement("D", EncodeDate(2024, 3, 5));
  w.WriteDateElement("T", EncodeDateTime({2024, 3, 5}, {14, 30, 0, 0}));
  w.WriteDateElement("H", 0.5);
  EXPECT_EQ(out.text, "\r\n<Z />\r\n<D>2024-03-05</D>\r\n<T>2024-03-05T14:30:00</T>\r\n<H>12:00:00</H>");
}

TEST(XMLWriter, UnknownPriceDateIsDayZero) { EXPECT_EQ(TXMLWriter::FormatIsoDate(0), "1899-12-30"); }

// --- Buffering ----------------------------------------------------------------------------------

TEST(XMLWriter, BufferedOutputReachesTheStreamInBlocksOfAtMostTheBufferSize) {
  MemoryStream out;
  TXMLStreamWriter w(out, true, 16);
  for (int i = 0; i < 20; ++i) w.WriteElement("E", "v");
  w.Flush();
  EXPECT_EQ(out.text.size(), 20u * 10u);
  for (std::size_t n : out.writes) EXPECT_LE(n, 16u);
}

// What is buffered goes first, then the large piece in one write of its own.
TEST(XMLWriter, TextLongerThanTheBufferGoesOnDirectly) {
  MemoryStream out;
  TXMLStreamWriter w(out, true, 8);
  w.Write("abc");
  w.Write(std::string(20, 'x'));
  EXPECT_EQ(out.text, "abc" + std::string(20, 'x'));
  EXPECT_EQ(out.writes, (std::vector<std::size_t>{3, 20}));
}

TEST(XMLWriter, TheDocumentsBufferHoldsWhatFitsUntilFlush) {
  MemoryStream out;
  TXMLStreamWriter w(out, true);
  w.Write(std::string(TXMLWriter::kBufferSize, 'x'));
  EXPECT_TRUE(out.text.empty());
  w.Write("y");
  EXPECT_EQ(out.writes, (std::vector<std::size_t>{TXMLWriter::kBufferSize}));
  w.Flush();
  EXPECT_EQ(out.text.size(), TXMLWriter::kBufferSize + 1);
}

TEST(XMLWriter, DestructionDoesNotFlush) {
  MemoryStream out;
  {
    TXMLStreamWriter w(out, true);
    w.Write("lost");
  }
  EXPECT_EQ(out.text, "");
}

// --- Output that fails --------------------------------------------------------------------------

TEST(XMLWriter, FailingStreamRaisesInsteadOfLosingText) {
  FailingStream disk(100);
  TXMLStreamWriter w(disk, true, 64);
  EXPECT_THROW(
      {
        for (int i = 0; i < 100; ++i) w.WriteElement("Element", "value");
        w.Flush();
      },
      FileError);
}

TEST(AtomicFileStream, FileAppearsOnlyWhenCommitted) {
  const testsupport::TempDir dir;
  const std::string path = (dir.Path() / "KORVALIX.XML").string();
  {
    AtomicFileStream file(path);
    file.Write("abc", 3);
    EXPECT_FALSE(std::filesystem::exists(path));
    file.Commit();
  }
  EXPECT_EQ(testsupport::TempDir::ReadFile(path), "abc");
}

TEST(AtomicFileStream, AbandonedFileLeavesTheEarlierOneAndNoTemporary) {
  const testsupport::TempDir dir;
  const std::string path = dir.WriteFile("KORVALIX.XML", "earlier");
  {
    AtomicFileStream file(path);
    file.Write("half", 4);
  }
  EXPECT_EQ(testsupport::TempDir::ReadFile(path), "earlier");
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(dir.Path()), std::filesystem::directory_iterator()),
      1);
}

// A killed run leaves its temporary file; the next commit overwrites it and leaves nothing else.
TEST(AtomicFileStream, ATemporaryFileOfAKilledRunIsReplaced) {
  const testsupport::TempDir dir;
  const std::string path = (dir.Path() / "KORVALIX.XML").string();
  dir.WriteFile("KORVALIX.XML.kxtmp", "a longer half-written document of the run that was killed");
  WriteFileAtomically(path, "new");
  EXPECT_EQ(testsupport::TempDir::ReadFile(path), "new");
  EXPECT_FALSE(std::filesystem::exists(path + ".kxtmp"));
}

TEST(AtomicFileStream, MissingDirectoryRaisesBeforeAnythingIsWritten) {
  EXPECT_THROW(AtomicFileStream("/nonexistent-kx-dir/KORVALIX.XML"), FileError);
}

// --- Fixed-point numbers ------------------------------------------------------------------------

struct FixedCase {
  int precision;
  int decimals;
  double value;
  const char* text;
};

class FormatFixedTest : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixedTest, GivesTheExactDecimalForm) {
  const FixedCase& c = GetParam();
  EXPECT_EQ(Fixed(c.precision, c.decimals, c.value), c.text) << c.value;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormatFixedTest,
    ::testing::Values(
        FixedCase{15, 2, 1050, "1050.00"}, FixedCase{15, 4, 2.03125, "2.0313"},
        FixedCase{15, 4, -2.03125, "-2.0313"}, FixedCase{15, 2, -0.004, "0.00"}, FixedCase{7, 0, 0, "0"},
        FixedCase{15, 2, -0.0, "0.00"}, FixedCase{15, 8, 1.0, "1.00000000"},
        FixedCase{15, 8, 1 / 1.1, "0.90909091"}, FixedCase{15, 3, 12.5, "12.500"},
        FixedCase{15, 3, 0.0004, "0.000"}, FixedCase{15, 2, 0.005, "0.01"},
        FixedCase{15, 2, 999.995, "1000.00"},  // stored as 999.9950000000000045...
        FixedCase{15, 2, 0.125, "0.13"},       // an exact half goes away from zero
        FixedCase{15, 2, -0.125, "-0.13"}, FixedCase{15, 2, 2.675, "2.67"},  // stored as 2.67499999...
        FixedCase{15, 2, 1.005, "1.00"},                                     // stored as 1.00499999...
        FixedCase{15, 1, 0.05, "0.1"},  // stored as 0.05000000000000000277
        FixedCase{15, 2, 0.0049999999999999, "0.00"}, FixedCase{15, 0, 0.5, "1"}, FixedCase{15, 0, 2.5, "3"},
        FixedCase{15, 4, 1e-20, "0.0000"}, FixedCase{15, 2, 123456789012345.678, "123456789012346.00"},
        FixedCase{15, 2, 99999.999, "100000.00"}, FixedCase{7, 2, 12345.678, "12345.68"},
        FixedCase{7, 2, 1234567.89, "1234568.00"}, FixedCase{15, 2, 1e20, "1.00000000000000E+20"},
        FixedCase{7, 2, 123456789.0, "1.234568E+08"}, FixedCase{15, 4, DBL_MIN, "0.0000"},
        FixedCase{50, 50, 0.1, "0.10000000000000000555111512312578270211815834045410"},  // beyond 40 digits
        FixedCase{41, 24, -1.702359299667182e+304, "-1.7023592996671819625239600116941008676949E+304"}),
    [](const auto& info) { return testsupport::CaseName(info.index, info.param.text); });

TEST(FormatFixed, NonFiniteValuesHaveWords) {
  EXPECT_EQ(Fixed(15, 2, std::nan("")), "NAN");
  EXPECT_EQ(Fixed(15, 2, INFINITY), "INF");
  EXPECT_EQ(Fixed(15, 2, -INFINITY), "-INF");
}

TEST(XMLWriter, RegionalFormsUseTheRegionalSeparatorAndNeutralOnesThePoint) {
  MemoryStream out;
  TXMLStreamWriter w(out, false);
  w.Regional = GermanFormats();
  w.WriteDoubleElement("R", 2, 1234.5);
  w.NeutralFormats = true;
  w.WriteDoubleElement("N", 2, 1234.5);
  w.WriteSingleElement("S", 4, 2.5f);
  EXPECT_EQ(out.text, "\r\n<R>1234,50</R>\r\n<N>1234.50</N>\r\n<S>2.5000</S>");
}

TEST(XMLWriter, RegionalFormsAreTheMachinesDateTimeAndSeparator) {
  const DateTime afternoon = EncodeDateTime({2024, 3, 5}, {14, 30, 0, 0});
  const struct {
    FormatSettings regional;
    const char* expected;
  } cases[] = {
      {GermanFormats(), "\r\n<D>05.03.2024</D>\r\n<T>05.03.2024 14:30</T>\r\n<F>2,50</F>"},
      {EnglishFormats(), "\r\n<D>3/5/2024</D>\r\n<T>3/5/2024 2:30 PM</T>\r\n<F>2.50</F>"},
  };
  for (const auto& c : cases) {
    MemoryStream out;
    TXMLStreamWriter w(out, false);
    w.Regional = c.regional;
    w.WriteDateElement("D", EncodeDate(2024, 3, 5));
    w.WriteDateElement("T", afternoon);
    w.WriteDoubleElement("F", 2, 2.5);
    EXPECT_EQ(out.text, c.expected);
  }
}

}  // namespace
}  // namespace kx
