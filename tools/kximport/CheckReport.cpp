#include "kximport/CheckReport.h"

#include <algorithm>

namespace kximport {

bool CheckReport::HasFailures() const {
  return std::any_of(lines_.begin(), lines_.end(), [](const Line& l) { return l.level == Level::Failure; });
}

void CheckReport::Print(std::ostream& out) const {
  for (const Line& line : lines_) {
    out << (line.level == Level::Ok        ? "\u2713 "
            : line.level == Level::Warning ? "\u26A0 "
                                           : "\u2717 ")
        << line.text << "\n";
    if (!line.fix.empty()) out << "    \u2192 " << line.fix << "\n";
  }
}

}  // namespace kximport
