// The XML writer's escaping: an element written with any Windows-1252 text (through a buffer of
// a chosen size) is well-formed for expat, and its parsed text converted back is the input less
// the bytes the writer drops (0-8, 11, 12, 14-31, 127), with line ends as XML reads them.
#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "util/Cp1252.h"
#include "xml/XMLWriter.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

void XMLCALL AppendText(void* target, const XML_Char* text, int length) {
  static_cast<std::string*>(target)->append(text, static_cast<std::size_t>(length));
}

// What a reader of the document gets: the dropped bytes gone, CR LF and a lone CR read as LF.
std::string Expected(std::string_view input) {
  std::string kept;
  for (const char c : input) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 9 || b == 10 || b == 13 || (b >= 32 && b != 127)) kept += c;
  }
  std::string out;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (kept[i] != '\r') {
      out += kept[i];
      continue;
    }
    out += '\n';
    if (i + 1 < kept.size() && kept[i + 1] == '\n') ++i;
  }
  return out;
}

// The parsed UTF-8 back in Windows-1252. The writer gives a byte from 128 up as a reference to
// the code point of the byte's value, so U+0080..U+009F stand for the bytes 0x80..0x9F.
std::string ToWindows1252(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    Require(i + length <= utf8.size());
    const std::string_view one = utf8.substr(i, length);
    if (length == 2 && b == 0xC2 && static_cast<unsigned char>(one[1]) < 0xA0) {
      out += static_cast<char>(one[1]);
    } else {
      out += kx::Utf8ToCp1252(one);
    }
    i += length;
  }
  return out;
}

class MemoryStream final : public kx::OutputStream {
 public:
  void Write(const char* bytes, std::size_t count) override { text.append(bytes, count); }
  std::string text;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  MemoryStream out;
  {
    // Small buffers pass the text on in pieces.
    kx::TXMLStreamWriter writer(out, data[0] != 0, data[0] % 64);
    writer.WriteTag("Import", kx::TXMLWriter::tkOpen);
    writer.WriteElement("T", input);
    writer.WriteTag("Import", kx::TXMLWriter::tkClose);
    writer.Flush();
  }

  const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate("UTF-8"));
  Require(parser != nullptr);
  std::string parsed;
  XML_SetUserData(parser.get(), &parsed);
  XML_SetCharacterDataHandler(parser.get(), &AppendText);
  Require(XML_Parse(parser.get(), out.text.data(), static_cast<int>(out.text.size()), 1) == XML_STATUS_OK);
  if (input.empty()) {  // no element at all: only the line break before the closing tag
    Require(parsed == "\n");
    return 0;
  }
  // The text of Import is the indentation around T and T's own text.
  const std::string expected = Expected(input);
  const std::string_view before = "\n  ";
  const std::string_view after = "\n";
  Require(parsed.starts_with(before) && parsed.ends_with(after));
  const std::string_view text =
      std::string_view(parsed).substr(before.size(), parsed.size() - before.size() - after.size());
  Require(ToWindows1252(text) == expected);
  return 0;
}
