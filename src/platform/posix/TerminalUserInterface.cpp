#include "platform/posix/TerminalUserInterface.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "util/Cp1252.h"
#include "util/Error.h"

namespace kx::posix {
namespace {

// The controlling terminal, opened for one dialogue; closed on every path.
class Terminal {
 public:
  Terminal() : fd_(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
  ~Terminal() {
    if (fd_ >= 0) close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  void Write(std::string_view utf8) const {
    while (!utf8.empty()) {
      const ssize_t n = write(fd_, utf8.data(), utf8.size());
      if (n <= 0) return;
      utf8.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // One line without its line break; nothing when the terminal closed first.
  std::optional<std::string> ReadLine(bool echo) const {
    termios saved{};
    const bool isTty = tcgetattr(fd_, &saved) == 0;
    if (isTty && !echo) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      tcsetattr(fd_, TCSAFLUSH, &quiet);
    }
    std::string line;
    char c = 0;
    bool ended = false;
    while (read(fd_, &c, 1) == 1) {
      if (c == '\n') {
        ended = true;
        break;
      }
      if (c != '\r') line += c;
    }
    if (isTty && !echo) {
      tcsetattr(fd_, TCSAFLUSH, &saved);
      Write("\n");
    }
    if (!ended && line.empty()) return std::nullopt;
    return line;
  }

 private:
  int fd_;
};

}  // namespace

void TerminalUserInterface::ShowInformation(std::string_view caption, std::string_view text) {
  std::string shown = Cp1252ToUtf8(text);
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  std::fprintf(stderr, "%s: %s\n", Cp1252ToUtf8(caption).c_str(), shown.c_str());
}

bool TerminalUserInterface::AskPin(std::string_view providerText, std::string_view loginText,
                                   std::string& pinText) {
  const Terminal terminal;
  if (!terminal.IsOpen()) {
    // Nobody can answer the prompt: it counts as cancelled, and standard error says why.
    std::fputs(
        "PIN-Abfrage nicht m\xC3\xB6glich: kein Terminal vorhanden. Bitte die PIN mit der Option Password "
        "\xC3\xBC"
        "bergeben.\n",
        stderr);
    return false;
  }
  const std::string provider = Cp1252ToUtf8(providerText);
  terminal.Write(provider + " Zugangsberechtigung\n");
  terminal.Write("Bitte geben Sie die Zugangs-PIN zur Vermittler-Login-ID\n<" + Cp1252ToUtf8(loginText) +
                 "> f\xC3\xBCr die " + provider + "-Depotschnittstelle ein (leer: Abbrechen): ");
  const std::optional<std::string> entry = terminal.ReadLine(false);
  // An empty entry cannot confirm the dialog; on the terminal it declines, like "Abbrechen".
  if (!entry || entry->empty()) return false;
  pinText = Utf8ToCp1252(*entry);
  return true;
}

ProxyAnswer TerminalUserInterface::AskProxyCredentials(std::string_view url, ProxyCredentials& credentials) {
  const Terminal terminal;
  if (!terminal.IsOpen()) return ProxyAnswer::Unavailable;
  terminal.Write("Der Proxy verlangt eine Anmeldung f\xC3\xBCr " + Cp1252ToUtf8(url) +
                 "\nBenutzername (leer: Abbrechen): ");
  const std::optional<std::string> user = terminal.ReadLine(true);
  if (!user) return ProxyAnswer::Unavailable;
  if (user->empty()) return ProxyAnswer::Declined;
  terminal.Write("Passwort: ");
  const std::optional<std::string> password = terminal.ReadLine(false);
  if (!password) return ProxyAnswer::Unavailable;
  credentials.User = Utf8ToCp1252(*user);
  credentials.Password = Utf8ToCp1252(*password);
  return ProxyAnswer::Entered;
}

// The access-data dialog comes with the library's dialogs; until then it is left as if the user
// had cancelled, so the host's buffers stay untouched.
int32_t TerminalUserInterface::ShowAccessDataDialog(AccessData&, std::string_view) { return kModalCancel; }

}  // namespace kx::posix
