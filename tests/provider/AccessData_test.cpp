// The access-data dialog's contract with the host's buffers, with a dialog double for the click.
#include <gtest/gtest.h>

#include <cstring>

#include "provider/ImpApi_Korvalix.h"
#include "support/RunDoubles.h"

namespace kx::test {
namespace {

// A dialog whose user types the given texts and presses the given button.
class ScriptedDialog final : public UserInterface {
 public:
  void ShowInformation(std::string_view, std::string_view) override {}
  bool AskPin(std::string_view, std::string_view, std::string&) override { return false; }
  int32_t ShowAccessDataDialog(AccessData& data, std::string_view version) override {
    seen = data;
    shownVersion = std::string(version);
    if (result == kModalOk) data = typed;
    return result;
  }
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials&) override {
    return ProxyAnswer::Unavailable;
  }
  void ShowDownloadProgress() override {}
  bool DownloadCancelled() override { return false; }
  void CloseDownloadProgress() override {}
  void SetCursor(Cursor) override {}

  int32_t result = kModalOk;
  AccessData typed;
  AccessData seen;
  std::string shownVersion;
};

struct Buffers {
  char user[KX_USER_NAME_BUFFER_SIZE + 8];
  char password[KX_PASSWORD_BUFFER_SIZE + 8];
  char custom[KX_CUSTOM_DATA_BUFFER_SIZE + 8];
  Buffers() {
    std::memset(this, 'g', sizeof *this);  // guard bytes beyond each buffer stay 'g'
    std::strcpy(user, "alt");
    std::strcpy(password, "pw");
    std::strcpy(custom, "a=b\r\nc=d");
  }
};

TEST(EditAccessData, ConfirmedTextsComeBackCutToTheBuffers) {
  ScriptedDialog dialog;
  dialog.typed = {std::string(200, 'u'), std::string(130, 'p'), std::string(5000, 'c')};
  Buffers b;
  EXPECT_EQ(EditAccessData(dialog, "2.1.2", b.user, b.password, b.custom), 1);
  EXPECT_EQ(dialog.seen.UserText, "alt");
  EXPECT_EQ(dialog.seen.CustomDataText, "a=b\r\nc=d");
  EXPECT_EQ(dialog.shownVersion, "2.1.2");
  EXPECT_EQ(std::string(b.user), std::string(127, 'u'));
  EXPECT_EQ(std::string(b.password), std::string(127, 'p'));
  EXPECT_EQ(std::string(b.custom), std::string(4095, 'c'));
  EXPECT_EQ(b.user[KX_USER_NAME_BUFFER_SIZE], 'g');
  EXPECT_EQ(b.custom[KX_CUSTOM_DATA_BUFFER_SIZE], 'g');
}

TEST(EditAccessData, CancelLeavesEveryBufferAsItWas) {
  ScriptedDialog dialog;
  dialog.result = kModalCancel;
  dialog.typed = {"new", "new", "new"};
  Buffers b;
  EXPECT_EQ(EditAccessData(dialog, "2.1.2", b.user, b.password, b.custom), 2);
  EXPECT_STREQ(b.user, "alt");
  EXPECT_STREQ(b.password, "pw");
  EXPECT_STREQ(b.custom, "a=b\r\nc=d");
}

}  // namespace
}  // namespace kx::test
