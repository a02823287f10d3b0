#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

// The provider's error answers.
inline constexpr std::string_view kAnswerAccessDenied = "Fehler 10 - Zugangsdaten fehlerhaft";
inline constexpr std::string_view kAnswerUnknownFile = "Fehler 20 - Unbekannte Datei";
inline constexpr std::string_view kAnswerNoData = "Fehler 30 - Keine Daten vorhanden";
inline constexpr std::string_view kAnswerOutdated = "Fehler 40 - Schnittstelle veraltet";
inline constexpr std::string_view kAnswerUnreadable = "Fehler 50 - Anfrage nicht lesbar";
inline constexpr std::string_view kAnswerReimportRequired = "Fehler 60 - Clear-Reimport erforderlich";

// The fields of a decoded request text: "key=value" pairs separated by ";", taken as they stand
// (the client does not escape ";" or "=" inside values). The first occurrence of a key counts.
class RequestFields {
 public:
  static RequestFields Parse(std::string_view text);
  // The value, empty when the key is missing.
  std::string Get(std::string_view key) const;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

// "login=... file=... startid=... startid2=... reimport=... pin=..." for a decoded request.
std::string RequestLogLine(const RequestFields& fields);
// "undecodable params=..." with the raw parameter as it was in the URL.
std::string UndecodableLogLine(std::string_view rawParams);

struct Account {
  std::string login;
  std::string pin;
  bool reimportRequired = false;
};

// Lines "login;pin" or "login;pin;flags" (flags separated by ","); blank lines and lines starting
// with "#" are skipped, a CR before the line end is dropped, unknown flags are ignored.
std::vector<Account> ParseAccounts(std::string_view text);

// The simulated provider's data: DIR/accounts.txt and, per login, DIR/<login>/bestandsdaten.csv
// and DIR/<login>/transaktionsdaten.csv. Everything is read at each request, so a test may change
// the files between two requests.
class ProviderData {
 public:
  explicit ProviderData(std::string dataDir) : dataDir_(std::move(dataDir)) {}

  // The body the provider answers: a data file byte for byte or one of the error answers.
  // requestText is the decoded request, nothing when the request could not be decoded.
  std::string AnswerFor(const std::optional<std::string>& requestText) const;

 private:
  std::optional<Account> FindAccount(std::string_view login) const;

  std::string dataDir_;
};

}  // namespace kx
