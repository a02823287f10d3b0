// The REGEDIT4 reader: any text is read or refused with kx::Error, never a crash or another
// exception. The project has no writer, so the target writes the settings key back the way
// regedit exports it (strings quoted with \\ and \", a string with a line break and the other
// types as hex lists) and requires the same values from reading that.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/posix/RegistryFile.h"
#include "util/Error.h"

namespace {

using kx::posix::RegistryFile;

constexpr std::string_view kKey = "HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX";

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string HexList(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!out.empty()) out += ',';
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string Data(const RegistryFile::Value& value) {
  using Type = RegistryFile::Type;
  switch (value.type) {
    case Type::String:  // a line break cannot stand inside quotes: regedit gives it as hex(1)
      if (value.data.find('\n') == std::string::npos) return Quoted(value.data);
      return "hex(1):" + HexList(value.data + std::string(1, '\0'));
    case Type::ExpandString:
      return "hex(2):" + HexList(value.data + std::string(1, '\0'));
    case Type::Dword:
      return "hex(4):" + HexList(value.data);
    case Type::Binary:
      return "hex:" + HexList(value.data);
    case Type::Other:
      return "hex(7):" + HexList(value.data);
  }
  return {};
}

std::string WriteKey(const RegistryFile::Values& values) {
  std::string text = "REGEDIT4\r\n\r\n[" + std::string(kKey) + "]\r\n";
  for (const auto& [name, value] : values) text += Quoted(name) + "=" + Data(value) + "\r\n";
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  RegistryFile file;
  try {
    file = RegistryFile::Parse(text);
  } catch (const kx::Error&) {
    return 0;
  }
  const RegistryFile::Values* values = file.Key(kKey);
  if (values == nullptr) return 0;
  const RegistryFile written = RegistryFile::Parse(WriteKey(*values));
  const RegistryFile::Values* again = written.Key(kKey);
  Require(again != nullptr && again->size() == values->size());
  for (auto a = values->begin(), b = again->begin(); a != values->end(); ++a, ++b) {
    Require(a->first == b->first && a->second.type == b->second.type && a->second.data == b->second.data);
  }
  return 0;
}
