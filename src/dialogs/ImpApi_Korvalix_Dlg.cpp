#include "dialogs/ImpApi_Korvalix_Dlg.h"

#include "util/TextLines.h"

namespace kx {

void TdlgKorvalixDataEdit::FormShow(std::string_view importVersion) {
  version_.assign(importVersion);
  SetUserEdit(UserText);
  SetPasswordEdit(PasswordText);
  CustomDataLines = TextLines(CustomDataText);
}

void TdlgKorvalixDataEdit::FormClose(int32_t modalResult) {
  if (modalResult != 1) return;
  UserText = user_;
  PasswordText = password_;
  CustomDataLines.clear();
  CustomDataText.clear();  // the text of the now empty list
}

std::string TdlgKorvalixDataEdit::ManualPath(std::string_view hostFolder) {
  return std::string(hostFolder) + std::string(kManual);
}

}  // namespace kx
