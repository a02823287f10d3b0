// The provider's error answer ("Fehler " + number + " - " + text): no crash; a data file is no
// error and leaves the values alone; an error answer gives one of the provider results, and its
// text is the end of the answer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "provider/ImpApi_Korvalix_Fetch.h"
#include "util/ResultCodes.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  kx::ProviderValues values;
  values.LastProviderErrorCode = 12345;
  values.LastProviderErrorText = "before";
  const std::optional<int32_t> result = kx::ProviderErrorAnswer(content, values);
  if (!content.starts_with("Fehler ")) {
    Require(!result && values.LastProviderErrorCode == 12345 && values.LastProviderErrorText == "before");
    return 0;
  }
  Require(result && *result <= kx::kProviderError && *result >= kx::kClearReimportRequired);
  if (content.find('-') != std::string_view::npos) Require(content.ends_with(values.LastProviderErrorText));
  return 0;
}
