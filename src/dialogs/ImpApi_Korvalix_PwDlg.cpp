#include "dialogs/ImpApi_Korvalix_PwDlg.h"

#include "util/Cp1252.h"

namespace kx {

std::string TImpApiPwDlg::Caption() const { return ProviderText + " Zugangsberechtigung"; }

std::string TImpApiPwDlg::InfoText() const {
  return "<" + LoginText + std::string("> für die "_cp1252) + ProviderText + "-Depotschnittstelle ein: ";
}

void TImpApiPwDlg::ePasswortChange(std::string_view text) { entry_.assign(text); }

bool TImpApiPwDlg::Close(bool ok) {
  if (!ok || !OkEnabled()) return false;
  PinText = entry_;
  return true;
}

}  // namespace kx
