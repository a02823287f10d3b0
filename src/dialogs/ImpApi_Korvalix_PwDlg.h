#pragma once

#include <string>
#include <string_view>

// The PIN prompt's behaviour: its texts, when "Ok" may close it, and what it returns. The
// user-interface adapters draw it and call this.
namespace kx {

class TImpApiPwDlg {
 public:
  static constexpr std::string_view kLabel1 = "Bitte geben Sie die Zugangs-PIN zur Vermittler-Login-ID ";

  std::string ProviderText;  // in: "KORVALIX"
  std::string LoginText;     // in: the trimmed UserLogin option
  std::string PinText;       // out: the entry exactly as typed, set only on "Ok"

  // The window caption: "KORVALIX Zugangsberechtigung".
  std::string Caption() const;
  // lbInfotext: "<12345> für die KORVALIX-Depotschnittstelle ein: ".
  std::string InfoText() const;

  // The edit field's text changed: "Ok" (and Enter) is available exactly while it is not empty.
  void ePasswortChange(std::string_view text);
  bool OkEnabled() const { return !entry_.empty(); }
  // The dialog ends: with "Ok" (only while enabled) the entry becomes PinText. Returns whether
  // it ended with "Ok".
  bool Close(bool ok);

 private:
  std::string entry_;
};

}  // namespace kx
