#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The access-data dialog's behaviour: what its fields show, what it gives back on "OK", and where
// the manual lies. The user-interface adapters draw it and call this.
namespace kx {

class TdlgKorvalixDataEdit {
 public:
  static constexpr std::size_t kEditLimit = 255;  // what an edit field holds
  static constexpr std::string_view kManual = "ImportApi\\KORVALIX\\Die Schnittstelle zu KORVALIX.pdf";

  std::string UserText;
  std::string PasswordText;
  std::string CustomDataText;
  std::vector<std::string> CustomDataLines;

  // The dialog opens: the version label, and the edit fields' texts cut to kEditLimit bytes.
  void FormShow(std::string_view importVersion);
  const std::string& VersionText() const { return version_; }
  const std::string& UserEdit() const { return user_; }
  const std::string& PasswordEdit() const { return password_; }
  void SetUserEdit(std::string_view text) { user_.assign(text.substr(0, kEditLimit)); }
  void SetPasswordEdit(std::string_view text) { password_.assign(text.substr(0, kEditLimit)); }

  // The dialog closes with its modal result: on OK (1) the fields' texts become UserText and
  // PasswordText and the extra data come back empty; otherwise nothing changes.
  void FormClose(int32_t modalResult);

  // The manual beside the host: its program's folder (with its trailing separator) + kManual.
  static std::string ManualPath(std::string_view hostFolder);

 private:
  std::string version_;
  std::string user_;
  std::string password_;
};

}  // namespace kx
