// The dialogs' behaviour without a window: the PIN prompt's texts and "Ok", the progress window's
// bar and cancel button, the access-data dialog's fields and copy-back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/ImpApiDownloadProgress.h"
#include "dialogs/ImpApi_Korvalix_Dlg.h"
#include "dialogs/ImpApi_Korvalix_PwDlg.h"
#include "platform/UserInterface.h"

namespace kx {
namespace {

using ::testing::ElementsAre;

TImpApiPwDlg PinDialog(std::string_view login) {
  TImpApiPwDlg dialog;
  dialog.ProviderText = "KORVALIX";
  dialog.LoginText = std::string(login);
  return dialog;
}

TEST(PinPrompt, CaptionAndInfoTextNameTheProviderAndTheLogin) {
  EXPECT_EQ(PinDialog("12345").Caption(), "KORVALIX Zugangsberechtigung");
  EXPECT_EQ(PinDialog("12345").InfoText(), "<12345> f\xFCr die KORVALIX-Depotschnittstelle ein: ");
  EXPECT_EQ(PinDialog("").InfoText(), "<> f\xFCr die KORVALIX-Depotschnittstelle ein: ");
}

TEST(PinPrompt, OkIsThereExactlyWhileTheEntryIsNotEmptyAndGivesItAsTyped) {
  TImpApiPwDlg dialog = PinDialog("1");
  dialog.PinText = "before";
  EXPECT_FALSE(dialog.OkEnabled());
  EXPECT_FALSE(dialog.Close(true));  // Enter with an empty field does nothing
  dialog.ePasswortChange("4");
  EXPECT_TRUE(dialog.OkEnabled());
  dialog.ePasswortChange("");
  EXPECT_FALSE(dialog.OkEnabled());
  dialog.ePasswortChange(" 47 ");
  EXPECT_FALSE(dialog.Close(false));  // "Abbrechen"
  EXPECT_EQ(dialog.PinText, "before");
  EXPECT_TRUE(dialog.Close(true));
  EXPECT_EQ(dialog.PinText, " 47 ");
}

TEST(ProgressWindow, TheBarRunsThroughTheTrackEveryTwentySeconds) {
  TfrmDownloadProgress window;
  window.FormShow();
  std::vector<int> positions;
  for (int tick = 0; tick < 21; ++tick) {
    positions.push_back(window.BarLeft());
    window.Timer1Timer();
  }
  EXPECT_EQ(positions.front(), 0);
  EXPECT_EQ(positions[19], 190);
  EXPECT_EQ(positions[20], 0);  // never drawn at 200
}

TEST(ProgressWindow, CancelSetsTheFlagTurnsTheBarRedAndStopsIt) {
  TfrmDownloadProgress window;
  window.FormShow();
  window.Timer1Timer();
  EXPECT_EQ(window.Label1Caption(), "Download l\xE4uft ...");
  window.Button1Click();
  window.Timer1Timer();
  EXPECT_TRUE(window.CancelRequested);
  EXPECT_TRUE(window.BarRed());
  EXPECT_FALSE(window.TimerEnabled());
  EXPECT_EQ(window.BarLeft(), 10);
  EXPECT_EQ(window.Label1Caption(), "Download wird abgebrochen !");
}

TEST(ProgressWindow, OneWindowAtATimeAndANewOneStartsUncancelled) {
  DownloadProgress progress;
  EXPECT_FALSE(progress.Cancelled());
  EXPECT_TRUE(progress.Show());
  progress.Window()->Button1Click();
  EXPECT_FALSE(progress.Show());  // neither a second window nor a restart
  EXPECT_TRUE(progress.Cancelled());
  progress.Close();
  progress.Close();
  EXPECT_FALSE(progress.Cancelled());
  EXPECT_TRUE(progress.Show());
  EXPECT_FALSE(progress.Cancelled());
}

TEST(AccessDataDialog, FieldsShowAtMost255BytesAndTheCurrentVersion) {
  TdlgKorvalixDataEdit dialog;
  dialog.UserText = std::string(300, 'u');
  dialog.CustomDataText = "a\r\nb\nc";
  dialog.FormShow("2.1.2");
  EXPECT_EQ(dialog.UserEdit(), std::string(255, 'u'));
  EXPECT_EQ(dialog.VersionText(), "2.1.2");
  EXPECT_THAT(dialog.CustomDataLines, ElementsAre("a", "b", "c"));
}

TEST(AccessDataDialog, OkTakesTheFieldsAndEmptiesTheExtraDataCancelChangesNothing) {
  TdlgKorvalixDataEdit dialog;
  dialog.UserText = "old";
  dialog.CustomDataText = "extra";
  dialog.FormShow("2.1.2");
  dialog.SetUserEdit("new");
  dialog.FormClose(kModalCancel);
  EXPECT_EQ(dialog.UserText, "old");
  EXPECT_EQ(dialog.CustomDataText, "extra");
  dialog.FormClose(kModalOk);
  EXPECT_EQ(dialog.UserText, "new");
  EXPECT_EQ(dialog.CustomDataText, "");
}

TEST(AccessDataDialog, TheManualLiesBesideTheHostsProgram) {
  EXPECT_EQ(TdlgKorvalixDataEdit::ManualPath("C:\\Host\\"),
            "C:\\Host\\ImportApi\\KORVALIX\\Die Schnittstelle zu KORVALIX.pdf");
}

}  // namespace
}  // namespace kx
