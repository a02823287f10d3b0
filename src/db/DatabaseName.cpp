#include "db/DatabaseName.h"

namespace kx::db {

bool GoesThroughServer(std::string_view name) {
  if (name.starts_with("\\\\") || name.starts_with('[')) return true;
  if (name.find("://") != std::string_view::npos) return true;
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  const std::string_view prefix = name.substr(0, colon);
  if (prefix.find('\\') != std::string_view::npos) return false;
  if (colon == 1) {
    const char c = name[0];
    return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));  // a drive letter
  }
  // "host/port:path" or "host/service:path"; any other "/" before the ":" makes it a path.
  const std::size_t slash = prefix.find('/');
  if (slash == std::string_view::npos) return true;
  const std::string_view host = prefix.substr(0, slash);
  const std::string_view port = prefix.substr(slash + 1);
  return !host.empty() && host != "." && host != ".." && !port.empty() &&
         port.find('/') == std::string_view::npos;
}

}  // namespace kx::db
