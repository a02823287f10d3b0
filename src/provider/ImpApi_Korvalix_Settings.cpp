#include "provider/ImpApi_Korvalix_Settings.h"

#include <optional>

#include "util/Cp1252.h"
#include "util/TextLines.h"
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

SettingsReading ReadImportSettingsReporting(SettingsStore& store, ProviderValues& values) {
  SettingsReading reading;
  std::string_view name;
  // Each value read is noted, so that the check shows what the run got and where it stopped.
  auto read = [&](std::string_view valueName) {
    name = valueName;
    std::optional<std::string> value = ReadValue(store, valueName);
    if (value) reading.read.emplace_back(valueName, *value);
    return value;
  };
  try {
    values.serviceUrl = read("DownloadSrvUrl").value_or(std::string(kDefaultServiceUrl));
    values.Timeout = ToIntOr(read("Timeout"), 300);
    values.DebugMode = ToIntOr(read("DebugMode"), 0);
    values.ImportDB = read("ImportDB").value_or(std::string());
    reading.dataDir = read("DataDir").value_or(std::string());
  } catch (const std::exception& e) {
    values.serviceUrl = std::string(kDefaultServiceUrl);
    reading.stoppedAt = name;
    reading.stopReason = e.what();
  }
  return reading;
}

std::string ReadImportSettings(SettingsStore& store, ProviderValues& values) {
  return ReadImportSettingsReporting(store, values).dataDir;
}

RunOptions::RunOptions(std::string_view text) {
  for (const std::string& line : TextLines(text)) {
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) lines_.emplace_back(line.substr(0, equals), line.substr(equals + 1));
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
