#include "kxprovider/ProviderData.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/ProviderIdentity.h"

namespace kx {

namespace {

// Control bytes would split a log line; they are written as "%XX". Everything else stays as
// received, Windows-1252 bytes included.
std::string LogValue(std::string_view value) {
  std::string text;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      text += escaped;
    } else {
      text += c;
    }
  }
  return text;
}

std::optional<std::string> ReadFileIfPresent(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return content.str();
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

RequestFields RequestFields::Parse(std::string_view text) {
  RequestFields fields;
  for (const std::string_view pair : Split(text, ';')) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) continue;
    fields.values_.emplace(std::string(pair.substr(0, equals)), std::string(pair.substr(equals + 1)));
  }
  return fields;
}

std::string RequestFields::Get(std::string_view key) const {
  const auto found = values_.find(key);
  return found == values_.end() ? std::string() : found->second;
}

std::string RequestLogLine(const RequestFields& fields) {
  std::string line;
  for (const char* key : {"login", "file", "startid", "startid2", "reimport", "pin"}) {
    const std::string_view name = key;
    if (!line.empty()) line += ' ';
    line.append(name).append("=").append(LogValue(fields.Get(name == "login" ? "loginid" : name)));
  }
  return line;
}

std::string UndecodableLogLine(std::string_view rawParams) {
  return "undecodable params=" + LogValue(rawParams);
}

std::vector<Account> ParseAccounts(std::string_view text) {
  std::vector<Account> accounts;
  for (std::string_view line : Split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string_view> fields = Split(line, ';');
    if (fields.size() < 2) continue;
    Account account{std::string(fields[0]), std::string(fields[1]), false};
    if (fields.size() > 2) {
      for (const std::string_view flag : Split(fields[2], ',')) {
        if (flag == "reimport-required") account.reimportRequired = true;
      }
    }
    accounts.push_back(std::move(account));
  }
  return accounts;
}

std::optional<Account> ProviderData::FindAccount(std::string_view login) const {
  const std::optional<std::string> text = ReadFileIfPresent(dataDir_ + "/accounts.txt");
  if (!text) return std::nullopt;
  for (Account& account : ParseAccounts(*text)) {
    if (account.login == login) return std::move(account);
  }
  return std::nullopt;
}

std::string ProviderData::AnswerFor(const std::optional<std::string>& requestText) const {
  if (!requestText) return std::string(kAnswerUnreadable);
  const RequestFields fields = RequestFields::Parse(*requestText);
  if (fields.Get("version") != "2") return std::string(kAnswerOutdated);

  const std::optional<Account> account = FindAccount(fields.Get("loginid"));
  if (!account || account->pin != fields.Get("pin")) return std::string(kAnswerAccessDenied);

  const std::string file = fields.Get("file");
  std::string fileName;
  if (file == "bestaende") {
    fileName = kx::kHoldingsFile;
  } else if (file == "transaktionen") {
    if (account->reimportRequired && fields.Get("reimport") != "1") {
      return std::string(kAnswerReimportRequired);
    }
    fileName = kx::kTransactionsFile;
  } else {
    return std::string(kAnswerUnknownFile);
  }
  std::optional<std::string> content = ReadFileIfPresent(dataDir_ + "/" + account->login + "/" + fileName);
  if (!content) return std::string(kAnswerNoData);
  return std::move(*content);
}

}  // namespace kx
