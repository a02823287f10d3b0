#include "dialogs/ImpApi_Korvalix_Dlg.h"

namespace kx {

void TdlgKorvalixDataEdit::FormShow(std::string_view importVersion) {
  version_.assign(importVersion);
  SetUserEdit(UserText);
  SetPasswordEdit(PasswordText);
  CustomDataLines.clear();
  std::size_t pos = 0;
  while (pos < CustomDataText.size()) {
    std::size_t end = CustomDataText.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = CustomDataText.size();
    CustomDataLines.push_back(CustomDataText.substr(pos, end - pos));
    pos = end +
          ((end + 1 < CustomDataText.size() && CustomDataText[end] == '\r' && CustomDataText[end + 1] == '\n')
               ? 2
               : 1);
  }
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
