// The host's option text as ReadRunOptions reads it: no crash, every value trimmed of control
// bytes and blanks, the start ids never empty, and the first line of a key deciding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "provider/ImpApi_Korvalix_Run.h"
#include "provider/ImpApi_Korvalix_Settings.h"
#include "util/Cp1252.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Trimmed(std::string_view value) { return kx::TrimControl(value) == value; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // The host passes a zero-terminated text: a zero byte ends it.
  const std::string text(reinterpret_cast<const char*>(data), size);
  const kx::RunInputs in = kx::ReadRunOptions(text.c_str());
  Require(Trimmed(in.Login) && Trimmed(in.Pin) && Trimmed(in.StartId1) && Trimmed(in.StartId2));
  Require(!in.StartId1.empty() && !in.StartId2.empty());

  // A line put in front of the text wins over every later line of its key.
  const kx::RunInputs first = kx::ReadRunOptions(("USERLOGIN= front \n" + text).c_str());
  Require(first.Login == "front" && first.Pin == in.Pin && first.StartId1 == in.StartId1);
  return 0;
}
