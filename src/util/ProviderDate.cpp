#include "util/ProviderDate.h"

#include <optional>

#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace kx {

DateTime ParseProviderDate(std::string_view text) {
  text = TrimControl(text);
  if (text.size() != 8) return 0;
  int parts[3] = {0, 0, 0};
  const std::size_t offsets[3] = {0, 4, 6};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int i = 0; i < 3; ++i) {
    const std::optional<int> part = WholeNumberOf<int>(text.substr(offsets[i], lengths[i]));
    if (!part) return 0;
    parts[i] = *part;
  }
  if (!IsValidDate(parts[0], parts[1], parts[2])) return 0;
  return EncodeDate(parts[0], parts[1], parts[2]);
}

}  // namespace kx
