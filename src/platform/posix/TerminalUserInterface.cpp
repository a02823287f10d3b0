#include "platform/posix/TerminalUserInterface.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "dialogs/ImpApi_Korvalix_Dlg.h"
#include "dialogs/ImpApi_Korvalix_PwDlg.h"
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
      tcsetattr(fd_, TCSADRAIN, &quiet);  // typed-ahead input is kept
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
      tcsetattr(fd_, TCSADRAIN, &saved);
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
  TImpApiPwDlg dialog;
  dialog.ProviderText = std::string(providerText);
  dialog.LoginText = std::string(loginText);
  terminal.Write(Cp1252ToUtf8(dialog.Caption()) + "\n");
  terminal.Write(std::string(TImpApiPwDlg::kLabel1) + "\n" + Cp1252ToUtf8(dialog.InfoText()) +
                 "(leer: Abbrechen) ");
  const std::optional<std::string> entry = terminal.ReadLine(false);
  // "Ok" needs an entry; an empty line or a closed terminal is "Abbrechen".
  dialog.ePasswortChange(entry ? Utf8ToCp1252(*entry) : std::string());
  if (!dialog.Close(true)) return false;
  pinText = dialog.PinText;
  return true;
}

int32_t TerminalUserInterface::ShowAccessDataDialog(AccessData& data, std::string_view importVersion) {
  const Terminal terminal;
  if (!terminal.IsOpen()) return kModalCancel;
  TdlgKorvalixDataEdit dialog;
  dialog.UserText = data.UserText;
  dialog.PasswordText = data.PasswordText;
  dialog.CustomDataText = data.CustomDataText;
  dialog.FormShow(importVersion);
  terminal.Write("KORVALIX-Zugangsdaten (Schnittstellen-Version: " + Cp1252ToUtf8(dialog.VersionText()) +
                 ")\n");
  terminal.Write("KORVALIX Benutzername (Kundennummer) [" + Cp1252ToUtf8(dialog.UserEdit()) + "]: ");
  const std::optional<std::string> user = terminal.ReadLine(true);
  if (!user) return kModalCancel;
  if (!user->empty()) dialog.SetUserEdit(Utf8ToCp1252(*user));
  terminal.Write("KORVALIX Passwort * (leer: unver\xC3\xA4ndert): ");
  const std::optional<std::string> password = terminal.ReadLine(false);
  if (!password) return kModalCancel;
  if (!password->empty()) dialog.SetPasswordEdit(Utf8ToCp1252(*password));
  terminal.Write(
      "* Wenn Sie das Passwort hier nicht eingeben, wird bei jedem Abruf der Daten danach gefragt.\n"
      "\xC3\x9C"
      "bernehmen? (j/n) ");
  const std::optional<std::string> answer = terminal.ReadLine(true);
  const int32_t result = answer && (*answer == "j" || *answer == "J") ? kModalOk : kModalCancel;
  dialog.FormClose(result);
  if (result == kModalOk) data = {dialog.UserText, dialog.PasswordText, dialog.CustomDataText};
  return result;
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

namespace {

// Set by SIGINT while the download's progress would be shown.
volatile std::sig_atomic_t gInterrupted = 0;
struct sigaction gPreviousInterrupt {};

void OnInterrupt(int) { gInterrupted = 1; }

// A host that decides about SIGINT itself blocks it in every thread and, while the download runs,
// directs it at the thread that runs the import: there it waits, pending, and is taken here.
bool InterruptPendingOnThisThread() {
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0 || sigismember(&pending, SIGINT) != 1) return false;
  sigset_t interrupt;
  sigemptyset(&interrupt);
  sigaddset(&interrupt, SIGINT);
  const timespec now{};
  return sigtimedwait(&interrupt, nullptr, &now) == SIGINT;
}

}  // namespace

void TerminalUserInterface::ShowDownloadProgress() {
  if (!progress_.Show()) return;
  gInterrupted = 0;
  struct sigaction action {};
  action.sa_handler = &OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &gPreviousInterrupt);
}

bool TerminalUserInterface::DownloadCancelled() {
  if (TfrmDownloadProgress* window = progress_.Window();
      window != nullptr && !window->CancelRequested &&
      (gInterrupted != 0 || InterruptPendingOnThisThread())) {
    window->Button1Click();
    // A host's progress bar may stand on the terminal's last line: the line is cleared first.
    std::fputs(isatty(STDERR_FILENO) != 0 ? "\r\033[KDownload wird abgebrochen !\n"
                                          : "Download wird abgebrochen !\n",
               stderr);
  }
  return progress_.Cancelled();
}

void TerminalUserInterface::CloseDownloadProgress() {
  if (progress_.Window() == nullptr) return;
  progress_.Close();
  sigaction(SIGINT, &gPreviousInterrupt, nullptr);
}

}  // namespace kx::posix
