#pragma once

#include <string>

namespace kximport {

// kximport's help in the language of the environment: the whole one ("kximport --help": the run,
// access-data, check, exit statuses), and those of the two subcommands.
std::string RunHelp();
std::string CheckHelp();
std::string AccessDataHelp();

}  // namespace kximport
