#include "xml/XMLWriter.h"

#include <cmath>
#include <cstring>

#include "util/RegionalFormats.h"

namespace kx {
namespace {

// The escaped form of each byte; empty for the dropped control characters.
struct EscapeTable {
  std::string forms[256];
  bool plain[256] = {};  // the byte stands for itself

  EscapeTable() {
    for (int b = 0; b < 256; ++b) {
      if (b >= 128) {
        forms[b] = "&#" + std::to_string(b) + ";";
      } else if (b == 9 || b == 10 || b == 13 || (b >= 32 && b <= 126)) {
        forms[b] = std::string(1, static_cast<char>(b));
      }
    }
    forms[static_cast<unsigned char>('<')] = "&lt;";
    forms[static_cast<unsigned char>('>')] = "&gt;";
    forms[static_cast<unsigned char>('\'')] = "&apos;";
    forms[static_cast<unsigned char>('"')] = "&quot;";
    forms[static_cast<unsigned char>('&')] = "&amp;";
    for (int b = 0; b < 256; ++b) plain[b] = forms[b].size() == 1 && forms[b][0] == static_cast<char>(b);
  }
};

const EscapeTable& Escapes() {
  static const EscapeTable table;
  return table;
}

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() < 2 ? "0" + text : text;
}

}  // namespace

TXMLWriter::TXMLWriter(bool buffered, std::size_t bufferSize)
    : buffered_(buffered && bufferSize > 0),
      capacity_(bufferSize),
      buffer_(buffered_ ? std::make_unique<char[]>(bufferSize) : nullptr) {}

void TXMLWriter::Flush() {
  if (used_ == 0) return;
  // Emptied first: a write that fails leaves no text to pass on twice.
  const std::size_t count = used_;
  used_ = 0;
  WriteData(buffer_.get(), count);
}

void TXMLWriter::Write(std::string_view text) {
  if (!buffered_) {
    WriteData(text.data(), text.size());
    return;
  }
  if (used_ + text.size() > capacity_) Flush();
  if (text.size() > capacity_) {
    WriteData(text.data(), text.size());
    return;
  }
  std::memcpy(buffer_.get() + used_, text.data(), text.size());
  used_ += text.size();
}

void TXMLWriter::NewLine() {
  // CR LF and blanks pass the escaping unchanged, so they go out directly.
  line_.assign("\r\n");
  line_.append(depth_ > 0 ? static_cast<std::size_t>(depth_) * 2 : 0, ' ');
  Write(line_);
}

void TXMLWriter::WriteTag(std::string_view name, TagKind kind) {
  switch (kind) {
    case tkOpen:
      NewLine();
      ++depth_;
      break;
    case tkEmpty:
      NewLine();
      break;
    case tkClose:
      --depth_;
      NewLine();
      break;
    case tkCloseInline:
      --depth_;
      break;
  }
  std::string tag(kind == tkOpen || kind == tkEmpty ? "<" : "</");
  tag.append(name);
  tag.append(kind == tkEmpty ? " />" : ">");
  Write(tag);
}

void TXMLWriter::WriteText(std::string_view text) {
  // Runs of bytes that stand for themselves are copied whole; most texts are one such run.
  const EscapeTable& table = Escapes();
  escaped_.clear();
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (table.plain[b]) continue;
    escaped_.append(text.data() + run, i - run).append(table.forms[b]);
    run = i + 1;
  }
  if (run == 0) {
    Write(text);
    return;
  }
  escaped_.append(text.data() + run, text.size() - run);
  Write(escaped_);
}

void TXMLWriter::WriteElement(std::string_view name, std::string_view text) {
  if (text.empty()) return;
  WriteTag(name, tkOpen);
  WriteText(text);
  WriteTag(name, tkCloseInline);
}

void TXMLWriter::WriteEmptyElement(std::string_view name) { WriteTag(name, tkEmpty); }

void TXMLWriter::WriteIntElement(std::string_view name, int64_t value) {
  WriteElement(name, std::to_string(value));
}

void TXMLWriter::WriteDateElement(std::string_view name, DateTime value) {
  if (value == 0) {
    WriteEmptyElement(name);
    return;
  }
  const bool hasTime = value != std::trunc(value);
  if (NeutralFormats) {
    WriteElement(name, hasTime ? FormatIsoDateTime(value) : FormatIsoDate(value));
    return;
  }
  // The regional form: the short date, and the short time when there is one.
  std::string text = FormatDateTime(Regional.ShortDateFormat, value);
  if (hasTime) text += " " + FormatDateTime(Regional.ShortTimeFormat, value);
  WriteElement(name, text);
}

std::string TXMLWriter::FormatNumber(int precision, int decimals, double value) const {
  std::string text = FormatFixed(precision, decimals, value);
  if (!NeutralFormats) {
    for (char& c : text) {
      if (c == '.') c = Regional.DecimalSeparator;
    }
  }
  return text;
}

void TXMLWriter::WriteDoubleElement(std::string_view name, int decimals, double value) {
  WriteElement(name, FormatNumber(15, decimals, value));
}

void TXMLWriter::WriteSingleElement(std::string_view name, int decimals, float value) {
  WriteElement(name, FormatNumber(7, decimals, static_cast<double>(value)));
}

std::string TXMLWriter::FormatIsoDate(DateTime value) {
  const CalendarDate d = DecodeDate(value);
  std::string year = std::to_string(d.Year);
  while (year.size() < 4) year.insert(0, "0");
  return year + "-" + TwoDigits(d.Month) + "-" + TwoDigits(d.Day);
}

std::string TXMLWriter::FormatIsoDateTime(DateTime value) {
  const TimeOfDay t = DecodeTime(value);
  std::string time = TwoDigits(t.Hour) + ":" + TwoDigits(t.Minute) + ":" + TwoDigits(t.Second);
  if (std::trunc(value) == 0) return time;
  return FormatIsoDate(value) + "T" + time;
}

void TXMLStreamWriter::WriteData(const char* bytes, std::size_t count) { Stream->Write(bytes, count); }

}  // namespace kx
