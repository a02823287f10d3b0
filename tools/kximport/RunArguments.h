#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace kximport {

// A wrong command line: kximport prints the text and ends with exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the command line of a run asks for.
struct RunArguments {
  std::string library;
  std::string outputDir;
  std::string advisor;
  std::string settings;
  std::string continueFrom;
  double lastImport = 0.0;
  std::vector<std::string> fileLines;    // from --options-file, first
  std::vector<std::string> optionLines;  // from the other options
  std::string pin;                       // Windows-1252; empty: from KX_PIN, or the library asks
  bool noOptions = false;
  bool verbose = false;
  bool summary = false;
  bool report = false;
  bool strict = false;
};

// The run's command line (argv[1] on); raises UsageError. A PIN comes from --pin-file or --pin,
// else from KX_PIN.
RunArguments ParseRunArguments(int argc, char** argv);

// The usage errors every subcommand shares, in the language of the environment.
std::string NeedsValue(const std::string& arg);
std::string Unknown(const std::string& arg, const std::string& help);

// The value after the option argv[i], which it takes (i moves on); raises UsageError when there is
// none or the next word is an option itself ("--login --pin-file x": --login has no value).
std::string ValueAfter(int argc, char** argv, int& i);

// The options of one command line: each may be given once, so that neither the first nor the
// last silently wins; --option, which adds a line each time, is repeatable. --pin and
// --pin-file both give the PIN and count as one.
class OptionsSeen {
 public:
  // Raises UsageError when arg was given already.
  void Take(const std::string& arg);

 private:
  std::vector<std::string> seen_;
};

// The plug-in beside kximport (a build folder), else the installed one.
std::string DefaultLibrary();

// Text the user typed (UTF-8) in the library's Windows-1252; bytes that are no UTF-8 are taken
// as Windows-1252 already.
std::string ToLibraryText(const std::string& text);

// The first line of a file, or of standard input for "-", without its line break.
std::string ReadPinFile(const std::string& path);

}  // namespace kximport
