#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "util/DateTime.h"
#include "util/FormatSettings.h"
#include "util/OutputStream.h"

namespace kx {

// A forward-only writer of indented element trees: elements and escaped text, no declaration,
// no attributes. Text is Windows-1252 bytes; every byte from 128 up becomes a character reference.
// A buffered writer collects its output in a buffer of its own, of a size fixed when it is made
// (kBufferSize unless a test asks for less), and passes it on whole when the next piece would
// not fit; a piece larger than the buffer goes on directly.
class TXMLWriter {
 public:
  enum TagKind { tkOpen = 0, tkClose = 1, tkEmpty = 2, tkCloseInline = 3 };
  static constexpr std::size_t kBufferSize = 65535;

  virtual ~TXMLWriter() = default;
  TXMLWriter(const TXMLWriter&) = delete;
  TXMLWriter& operator=(const TXMLWriter&) = delete;

  // Passes bytes to the output target.
  virtual void WriteData(const char* bytes, std::size_t count) = 0;
  // Passes what the buffer holds on and empties it (buffered writers only). Without it the
  // buffer's text is lost when the writer goes.
  void Flush();
  // Raw output, no escaping.
  void Write(std::string_view text);

  void NewLine();
  void WriteTag(std::string_view name, TagKind kind);
  void WriteText(std::string_view text);
  void WriteElement(std::string_view name, std::string_view text);
  void WriteEmptyElement(std::string_view name);
  void WriteIntElement(std::string_view name, int64_t value);
  void WriteDateElement(std::string_view name, DateTime value);
  void WriteDoubleElement(std::string_view name, int decimals, double value);
  void WriteSingleElement(std::string_view name, int decimals, float value);

  static std::string FormatIsoDate(DateTime value);
  static std::string FormatIsoDateTime(DateTime value);
  // Fixed-point text with "." as separator: at most precision significant digits, exactly
  // decimals decimals, halves rounded away from zero on the exact decimal value, no minus sign
  // on a zero result; scientific form when the integer part has more digits than precision.
  static std::string FormatFixed(int precision, int decimals, double value);

  // The number of open elements, which the indentation follows.
  int Depth() const { return depth_; }

  bool NeutralFormats = false;
  // The machine's number and date forms (the regional-settings seam's), used when NeutralFormats
  // is off: the decimal separator, and the short date and time forms.
  FormatSettings Regional;

 protected:
  TXMLWriter(bool buffered, std::size_t bufferSize);

 private:
  std::string FormatNumber(int precision, int decimals, double value) const;

  const bool buffered_;
  const std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;  // capacity_ bytes when buffered
  std::size_t used_ = 0;
  int depth_ = 0;
  // Kept between calls, so that escaping and indenting allocate only for a longer text.
  std::string escaped_;
  std::string line_;
};

// A writer over an output stream, which it frees on destruction when it owns it. Destruction
// does not flush: text still in the buffer is lost unless Flush was called.
class TXMLStreamWriter final : public TXMLWriter {
 public:
  // A writer that owns its stream.
  TXMLStreamWriter(std::unique_ptr<OutputStream> stream, bool buffered, std::size_t bufferSize = kBufferSize)
      : TXMLWriter(buffered, bufferSize), Stream(stream.get()), OwnsStream(true), owned_(std::move(stream)) {}
  // A writer over a stream that stays the caller's.
  TXMLStreamWriter(OutputStream& stream, bool buffered, std::size_t bufferSize = kBufferSize)
      : TXMLWriter(buffered, bufferSize), Stream(&stream), OwnsStream(false) {}

  void WriteData(const char* bytes, std::size_t count) override;

  OutputStream* const Stream;
  const bool OwnsStream;

 private:
  std::unique_ptr<OutputStream> owned_;
};

}  // namespace kx
