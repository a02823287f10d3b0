#pragma once

// Test doubles for the collaborators of an import run. Each records what it was asked, into one
// shared event list where the order across collaborators matters.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "util/Error.h"
#include "util/ProgressSink.h"

namespace kx::test {

struct Message {
  int32_t kind;
  int32_t value;
  std::string text;
  bool operator==(const Message&) const = default;
};

using EventLog = std::vector<std::string>;

class RecordingProgress final : public ProgressSink {
 public:
  explicit RecordingProgress(EventLog& events) : events_(events) {}
  void Send(int32_t kind, int32_t value, std::string_view text) override {
    messages.push_back({kind, value, std::string(text)});
    events_.push_back("progress " + std::to_string(kind) + "," + std::to_string(value) + " " +
                      std::string(text));
  }
  std::vector<Message> messages;

 private:
  EventLog& events_;
};

// Settings as a map; a value named in typeErrors raises like a REG_DWORD value would.
class MapSettings final : public SettingsStore {
 public:
  std::map<std::string, std::string> values;
  std::vector<std::string> typeErrors;
  bool keyExists = true;

  std::unique_ptr<SettingsKey> OpenLocalMachineKey(std::string_view) override {
    if (!keyExists) return nullptr;
    return std::make_unique<Key>(*this);
  }

 private:
  class Key final : public SettingsKey {
   public:
    explicit Key(MapSettings& owner) : owner_(owner) {}
    std::optional<std::string> ReadString(std::string_view name) override {
      for (const std::string& bad : owner_.typeErrors) {
        if (bad == name) throw SettingsTypeError("not a string: " + bad);
      }
      const auto it = owner_.values.find(std::string(name));
      if (it == owner_.values.end()) return std::nullopt;
      return it->second;
    }

   private:
    MapSettings& owner_;
  };
};

class FakeUi final : public UserInterface {
 public:
  explicit FakeUi(EventLog& events) : events_(events) {}
  void ShowInformation(std::string_view caption, std::string_view text) override {
    events_.push_back("box " + std::string(caption) + ": " + std::string(text));
  }
  bool AskPin(std::string_view provider, std::string_view login, std::string& pin) override {
    events_.push_back("pin " + std::string(provider) + " " + std::string(login));
    if (!pinEntry) return false;
    pin = *pinEntry;
    return true;
  }
  int32_t ShowAccessDataDialog(AccessData&, std::string_view) override { return kModalCancel; }
  ProxyAnswer AskProxyCredentials(std::string_view, ProxyCredentials& credentials) override {
    credentials = {"user", "secret"};
    return proxyAnswer;
  }
  void ShowDownloadProgress() override {}
  bool DownloadCancelled() override { return false; }
  void CloseDownloadProgress() override {}
  void SetCursor(Cursor) override {}

  std::optional<std::string> pinEntry;                 // nothing: the user cancels
  ProxyAnswer proxyAnswer = ProxyAnswer::Unavailable;  // what a terminal-less prompt gives

 private:
  EventLog& events_;
};

class FixedClock final : public SystemClock {
 public:
  DateTime Today() override { return today; }
  DateTime Now() override { return today + 0.5; }
  void Sleep(uint32_t) override {}
  void PumpMessages() override {}
  DateTime today = EncodeDate(2026, 12, 9);
};

// DES that fails from the n-th call on (1-based), with a given code; otherwise the real one.
class FailingDes final : public DesCbc {
 public:
  int failFromCall = 1;
  int32_t code = 7;
  int calls = 0;
  int32_t Encipher(std::string& data, const DesBlock& key, const DesBlock& iv) override {
    return ++calls >= failFromCall ? code : real_.Encipher(data, key, iv);
  }
  int32_t Decipher(std::string& data, const DesBlock& key, const DesBlock& iv) override {
    return real_.Decipher(data, key, iv);
  }

 private:
  posix::NettleDes real_;
};

class FakeServer final : public ServerStarter {
 public:
  explicit FakeServer(EventLog& events) : events_(events) {}
  std::string StartInterBaseServer() override {
    events_.push_back("server");
    return errorText;
  }
  std::string errorText;

 private:
  EventLog& events_;
};

struct FetchCall {
  std::string url;
  std::string fileName;
  std::string plainCopy;
  std::string dataDir;
};

// Answers the fetches in turn from a script of result codes (0 when the script has run out).
class ScriptedFetcher final : public ProviderFileFetcher {
 public:
  explicit ScriptedFetcher(EventLog& events) : events_(events) {}
  int32_t FetchProviderFile(std::string_view url, std::string_view fileName, std::string_view plainCopy,
                            std::string_view dataDir) override {
    calls.push_back({std::string(url), std::string(fileName), std::string(plainCopy), std::string(dataDir)});
    events_.push_back("fetch " + std::string(fileName));
    if (onFetch) onFetch();
    const std::size_t index = calls.size() - 1;
    return index < results.size() ? results[index] : 0;
  }
  std::vector<int32_t> results;
  std::vector<FetchCall> calls;
  std::function<void()> onFetch;

 private:
  EventLog& events_;
};

class RecordingGenerator final : public ImportGenerator {
 public:
  explicit RecordingGenerator(EventLog& events) : events_(events) {}
  int32_t GenerateImport(const GenerateImportArgs& args) override {
    events_.push_back("generate");
    received.push_back(args);
    if (onGenerate) onGenerate();
    if (!throwText.empty()) throw Error(throwText);
    return result;
  }
  int32_t result = 0;
  std::string throwText;
  std::vector<GenerateImportArgs> received;
  std::function<void()> onGenerate;

 private:
  EventLog& events_;
};

// Locks by path within the test: a path in held is taken (by another run, or by one of this test
// still going on), and a lock given out holds its path until it is destroyed.
class FakeLocker final : public FileLocker {
 public:
  std::unique_ptr<FileLock> TryLock(const std::string& path) override {
    asked.push_back(path);
    if (!held.insert(path).second) return nullptr;
    return std::make_unique<Lock>(held, path);
  }
  std::set<std::string> held;
  std::vector<std::string> asked;

 private:
  class Lock final : public FileLock {
   public:
    Lock(std::set<std::string>& held, std::string path) : held_(held), path_(std::move(path)) {}
    ~Lock() override { held_.erase(path_); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    std::set<std::string>& held_;
    std::string path_;
  };
};

}  // namespace kx::test
