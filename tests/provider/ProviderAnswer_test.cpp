// The provider's error answers: which texts are errors, their number and text, the result code.
#include <gtest/gtest.h>

#include "provider/ImpApi_Korvalix_Fetch.h"

namespace kx {
namespace {

TEST(ProviderErrorAnswer, GivesTheCodeNumberAndTextOfTheAnswer) {
  const struct {
    const char* answer;
    int32_t result;
    int32_t code;
    const char* text;
  } cases[] = {
      {"Fehler 10 - abc", -31, 10, "abc"},
      {"Fehler 20 - Unbekannte Datei", -32, 20, "Unbekannte Datei"},
      {"Fehler 30 - x", -33, 30, "x"},
      {"Fehler 40 - alt", -34, 40, "alt"},
      {"Fehler 50 - y", -35, 50, "y"},
      {"Fehler 60 - abc", -36, 60, "abc"},
      {"Fehler 99 - abc", -30, 99, "abc"},
      {"Fehler xyz - abc", -30, 0, ""},
      {"Fehler 10  - abc", -30, 0, ""},
      {"Fehler -5", -30, 0, ""},
      {"Fehler abc", -30, 5, "before"},  // no "-": the values stay
      {"Fehler 10 - a-b - c", -31, 10, "a-b - c"},
  };
  for (const auto& c : cases) {
    ProviderValues values;
    values.LastProviderErrorCode = 5;
    values.LastProviderErrorText = "before";
    EXPECT_EQ(ProviderErrorAnswer(c.answer, values), c.result) << c.answer;
    EXPECT_EQ(values.LastProviderErrorCode, c.code) << c.answer;
    EXPECT_EQ(values.LastProviderErrorText, c.text) << c.answer;
  }
}

TEST(ProviderErrorAnswer, AnswersThatOnlyLookLikeErrorsAreDataFiles) {
  for (const char* answer : {"fehler 10 - abc", "Fehler:abc", "Fehler", ""}) {
    ProviderValues values;
    EXPECT_EQ(ProviderErrorAnswer(answer, values), std::nullopt) << answer;
  }
}

}  // namespace
}  // namespace kx
