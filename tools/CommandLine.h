#pragma once

#include <iostream>
#include <optional>
#include <string_view>

namespace kx::tools {

// The programs answer --help and --version before anything else is read, wherever they stand, so
// that "kximport check --help" is never taken as the value of another option.
// Returns 0 when one was answered (on standard output), nothing otherwise.
inline std::optional<int> AnswerHelpOrVersion(int argc, char** argv, int first, std::string_view program,
                                              std::string_view help) {
  for (int i = first; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << help;
      return 0;
    }
    if (arg == "--version") {
      std::cout << program << ' ' << KX_PROJECT_VERSION << '\n';
      return 0;
    }
  }
  return std::nullopt;
}

}  // namespace kx::tools
