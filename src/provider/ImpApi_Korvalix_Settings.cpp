#include "provider/ImpApi_Korvalix_Settings.h"

#include <optional>

#include "util/Cp1252.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

// The value as stored, or nothing when the key cannot be opened or the value does not exist.
std::optional<std::string> ReadValue(SettingsStore& store, std::string_view name) {
  std::unique_ptr<SettingsKey> key = store.OpenLocalMachineKey(kSettingsKey);
  if (!key) return std::nullopt;
  return key->ReadString(name);  // the key closes when it goes out of scope
}

int32_t ToIntOr(const std::optional<std::string>& text, int32_t fallback) {
  if (!text) return fallback;
  return ParseInt32(*text).value_or(fallback);
}

}  // namespace

std::string ReadImportSettings(SettingsStore& store, ProviderValues& values) {
  std::string dataDir;
  try {
    values.serviceUrl = ReadValue(store, "DownloadSrvUrl").value_or(std::string(kDefaultServiceUrl));
    values.Timeout = ToIntOr(ReadValue(store, "Timeout"), 300);
    values.DebugMode = ToIntOr(ReadValue(store, "DebugMode"), 0);
    values.ImportDB = ReadValue(store, "ImportDB").value_or(std::string());
    dataDir = ReadValue(store, "DataDir").value_or(std::string());
  } catch (const std::exception&) {
    values.serviceUrl = std::string(kDefaultServiceUrl);
  }
  return dataDir;
}

RunOptions::RunOptions(std::string_view text) {
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      lines_.emplace_back(std::string(line.substr(0, equals)), std::string(line.substr(equals + 1)));
    }
    if (end == text.size()) break;
    pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

std::string RunOptions::Value(std::string_view key) const {
  for (const auto& [name, value] : lines_) {
    if (EqualsIgnoreCase1252(name, key)) return std::string(TrimControl(value));
  }
  return std::string();
}

bool RunOptions::Switch(std::string_view key) const { return ToUpper1252(Value(key)) == "TRUE"; }

std::string RunOptions::StartId(std::string_view key) const {
  std::string value = Value(key);
  return value.empty() ? std::string("0") : value;
}

}  // namespace kx
