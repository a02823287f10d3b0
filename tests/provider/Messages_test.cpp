// Result code texts: ExportErrorText, CopyErrorText and the export GetExportErrorMsg.
// Expected texts are written as UTF-8 source and taken as Windows-1252 bytes by the _cp1252 literal.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ImpApiKorvalix.h"
#include "provider/ImpApi_Korvalix.h"
#include "provider/ImpApi_Korvalix_Messages.h"
#include "util/Cp1252.h"

namespace kx {
namespace {

struct TextCase {
  int32_t code;
  std::string_view text;
};

ProviderValues Details(int32_t code, std::string text) {
  ProviderValues values;
  values.LastProviderErrorCode = code;
  values.LastProviderErrorText = std::move(text);
  return values;
}

// Texts that do not depend on the detail values.
const std::vector<TextCase>& FixedTexts() {
  static const std::vector<TextCase> cases = {
      {-1, "Unbestimmter Fehler bei Internet-Zugriff"},
      {-2, "Internet-Fehler: Session nicht verfügbar"_cp1252},
      {-3, "Internet-Fehler: Öffnen der URL fehlgeschlagen"_cp1252},
      {-4, "Internet-Fehler: Zugriff auf Seite verweigert"},
      {-5, "Internet-Fehler: Seite nicht gefunden"},
      {-6, "Internet-Fehler: Zugriff auf URL fehlgeschlagen"},
      {-7, "Internet-Fehler: Datei unvollständig übertragen"_cp1252},
      {-8, "Internet-Fehler: Server überlastet. Bitte später erneut versuchen"_cp1252},
      {-9, "Proxy-Fehler: Authentifizierung erforderlich"},
      {-1015, "Download durch Benutzer abgebrochen"},
      {-11,
       "Keine KORVALIX-Zugangsdaten erfasst.\r\n"
       "Erfassen Sie bitte die KORVALIX-Zugangsdaten in der Beraterverwaltung."},
      {-12,
       "Die Login-ID des Vermittlers fehlt in den KORVALIX-Zugangsdaten.\r\n"
       "Erfassen Sie bitte die Login-ID in der Beraterverwaltung."},
      {-13,
       "Die Nummer der Vermittlerzentrale fehlt in den KORVALIX-Zugangsdaten.\r\n"
       "Erfassen Sie bitte die Nummer der Vermittlerzentrale in der Beraterverwaltung."},
      {-15, "Fehlendes Zugangs-Passwort; Abbruch durch Benutzer."},
      {-28,
       "\r\nDer Erst-Import liefert keine Kundendaten für den angegebenen KORVALIX Benutzernamen.\r\n"
       "Es wurden keine Kundendaten importiert."_cp1252},
      {-29, "Fehler beim Erstellen der XML-Import-Datei."},
  };
  return cases;
}

TEST(ExportErrorText, FixedTextsByteForByte) {
  const ProviderValues values = Details(40, "abc");
  for (const TextCase& c : FixedTexts()) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ExportErrorText(c.code, values), c.text);
  }
}

TEST(ExportErrorText, DownloadTextIgnoresTheDetailValues) {
  const std::string_view expected = "Internet-Fehler: Datei unvollständig übertragen"_cp1252;
  EXPECT_EQ(ExportErrorText(-7, ProviderValues{}), expected);
  EXPECT_EQ(ExportErrorText(-7, Details(-99, "anything")), expected);
}

TEST(ExportErrorText, TextsWithDetailValuesByteForByte) {
  const ProviderValues values = Details(40, "abc");
  const std::vector<TextCase> cases = {
      {-14,
       "Fehlerhafte Vermittlernummer: abc\r\n"
       "Die Haupt-Vermittlernummer muss eine höchstens 12-stellige Zahl sein !\r\n"
       "Korrigieren Sie bitte Ihre Vermittlernummer = Berater-Referenznummer in der Beraterverwaltung.\r\n"
       "Beachten Sie hierzu die Anleitung, die Sie über \"... bearbeiten\", Button \"Anleitung\" abrufen "
       "können."_cp1252},
      {-21, "Fehler beim Codieren der Datenabfrage: Errorcode = 40"},
      {-22, "Fehler beim Codieren der Datenabfrage: Errorcode = 40"},
      {-23, "Fehler beim Entpacken des zip-Archivs: Datei = abc"},
      {-30, "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40"},
      {-31, "Fehler bei KORVALIX-Datenabruf: KORVALIX-Zugangsdaten (Login, PIN) fehlerhaft; Errorcode = 40"},
      {-32, "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40"},
      {-33, "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40"},
      {-34,
       "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40\r\n"
       "Bitte Update der KORVALIX-Schnittstelle installieren."},
      {-35, "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ExportErrorText(c.code, values), c.text);
  }
}

TEST(ExportErrorText, AccessDataTextShowsTheNumberButNotTheProviderText) {
  EXPECT_EQ(ExportErrorText(-31, Details(10, "abc")),
            "Fehler bei KORVALIX-Datenabruf: KORVALIX-Zugangsdaten (Login, PIN) fehlerhaft; Errorcode = 10");
}

TEST(ExportErrorText, NegativeNumberIsShownWithMinusSign) {
  EXPECT_EQ(ExportErrorText(-21, Details(-2146893816, "")),
            "Fehler beim Codieren der Datenabfrage: Errorcode = -2146893816");
}

TEST(ExportErrorText, DetailValuesNeverSetGiveEmptyTextAndZero) {
  EXPECT_EQ(ExportErrorText(-30, ProviderValues{}), "Fehler bei KORVALIX-Datenabruf: ; Errorcode = 0");
}

TEST(ExportErrorText, ProviderTextIsInsertedAsItStands) {
  const std::string x("Fehler 20 - Zugang gesperrt; über 100% \r\n<b>"_cp1252);
  EXPECT_EQ(ExportErrorText(-32, Details(20, x)),
            "Fehler bei KORVALIX-Datenabruf: " + x + "; Errorcode = 20");
}

TEST(ExportErrorText, LongestFixedPartsFitIn301BytesWithTheZero) {
  const std::optional<std::string> text = ExportErrorText(-14, ProviderValues{});
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(text->size() + 1, 301u);
}

TEST(ExportErrorText, CodesWithoutTextGiveNothing) {
  const ProviderValues values = Details(40, "abc");
  std::vector<int32_t> codes = {-36, -10, -37, 0, 1, 2, 100, -1014, -1016, INT32_MIN, INT32_MAX};
  for (int32_t code = -20; code <= -16; ++code) codes.push_back(code);
  for (int32_t code = -27; code <= -24; ++code) codes.push_back(code);
  for (int32_t code : codes) {
    SCOPED_TRACE(code);
    EXPECT_EQ(ExportErrorText(code, values), std::nullopt);
  }
}

// A buffer of the host's size followed by a guard region that nothing may write into.
constexpr std::size_t kErrorTextBufferSize = KX_ERROR_TEXT_BUFFER_SIZE;
constexpr std::size_t kGuard = 64;
constexpr char kFill = '\xAA';
using GuardedBuffer = std::array<char, kErrorTextBufferSize + kGuard>;

GuardedBuffer FilledBuffer() {
  GuardedBuffer buffer;
  buffer.fill(kFill);
  return buffer;
}

bool UntouchedFrom(const GuardedBuffer& buffer, std::size_t first) {
  for (std::size_t i = first; i < buffer.size(); ++i) {
    if (buffer[i] != kFill) return false;
  }
  return true;
}

TEST(CopyErrorText, ShortTextIsCopiedWithItsZeroAndNothingMore) {
  GuardedBuffer buffer = FilledBuffer();
  CopyErrorText("abc", buffer.data());
  EXPECT_STREQ(buffer.data(), "abc");
  EXPECT_TRUE(UntouchedFrom(buffer, 4));
}

struct CutCase {
  std::size_t length;
  std::size_t kept;
};

TEST(CopyErrorText, LongTextIsCutAt1023BytesAndNothingIsWrittenBeyondTheBuffer) {
  for (const CutCase c :
       {CutCase{1022, 1022}, CutCase{1023, 1023}, CutCase{1024, 1023}, CutCase{5000, 1023}}) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    GuardedBuffer buffer = FilledBuffer();
    CopyErrorText(text, buffer.data());
    EXPECT_EQ(std::string(buffer.data()), text.substr(0, c.kept));
    EXPECT_EQ(buffer[c.kept], '\0');
    EXPECT_TRUE(UntouchedFrom(buffer, c.kept + 1));
    EXPECT_TRUE(UntouchedFrom(buffer, kErrorTextBufferSize));
  }
}

// The export reads the library's own provider values; each test leaves them as it found them.
class GetExportErrorMsgTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = Provider(); }
  void TearDown() override { Provider() = saved_; }

 private:
  ProviderValues saved_;
};

TEST_F(GetExportErrorMsgTest, CodeWithoutTextReturnsMinusOneAndLeavesTheBufferUntouched) {
  for (int32_t code : {-36, -20, 1, 0, -10, -37}) {
    SCOPED_TRACE(code);
    GuardedBuffer buffer = FilledBuffer();
    EXPECT_EQ(GetExportErrorMsg(code, buffer.data()), -1);
    EXPECT_TRUE(UntouchedFrom(buffer, 0));
  }
}

TEST_F(GetExportErrorMsgTest, KnownCodeReturnsZeroAndWritesItsText) {
  GuardedBuffer buffer = FilledBuffer();
  EXPECT_EQ(GetExportErrorMsg(-5, buffer.data()), 0);
  EXPECT_STREQ(buffer.data(), "Internet-Fehler: Seite nicht gefunden");
}

TEST_F(GetExportErrorMsgTest, ProviderDetailValuesFeedTheText) {
  Provider().LastProviderErrorCode = 40;
  Provider().LastProviderErrorText = "abc";
  GuardedBuffer buffer = FilledBuffer();
  ASSERT_EQ(GetExportErrorMsg(-34, buffer.data()), 0);
  EXPECT_STREQ(buffer.data(),
               "Fehler bei KORVALIX-Datenabruf: abc; Errorcode = 40\r\n"
               "Bitte Update der KORVALIX-Schnittstelle installieren.");
}

TEST_F(GetExportErrorMsgTest, AskingAgainGivesTheSameTextAndChangesNoDetailValue) {
  Provider().LastProviderErrorCode = 30;
  Provider().LastProviderErrorText = "Wartung";
  GuardedBuffer first = FilledBuffer();
  GuardedBuffer second = FilledBuffer();
  ASSERT_EQ(GetExportErrorMsg(-33, first.data()), 0);
  ASSERT_EQ(GetExportErrorMsg(-33, second.data()), 0);
  EXPECT_EQ(first, second);
  EXPECT_EQ(Provider().LastProviderErrorCode, 30);
  EXPECT_EQ(Provider().LastProviderErrorText, "Wartung");
}

TEST_F(GetExportErrorMsgTest, LongProviderTextIsCutToTheHostBuffer) {
  Provider().LastProviderErrorCode = 50;
  Provider().LastProviderErrorText = std::string(3000, 'y');
  GuardedBuffer buffer = FilledBuffer();
  ASSERT_EQ(GetExportErrorMsg(-35, buffer.data()), 0);
  const std::string written(buffer.data());
  EXPECT_EQ(written.size(), kErrorTextBufferSize - 1);
  EXPECT_EQ(written, ("Fehler bei KORVALIX-Datenabruf: " + std::string(3000, 'y')).substr(0, 1023));
  EXPECT_TRUE(UntouchedFrom(buffer, kErrorTextBufferSize));
}

}  // namespace
}  // namespace kx
