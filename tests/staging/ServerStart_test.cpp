// The start of the database server: the portable steps over a scripted server control, and the
// POSIX control's answers (installation, port, settings) on this machine.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

#include "platform/posix/FirebirdServerControl.h"
#include "staging/ImpApiIBSrv.h"
#include "support/RunDoubles.h"
#include "util/Error.h"

namespace kx {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kNotInstalled =
    "Datenbanksystem \"Interbase\" nicht installiert. Bitte installieren Sie Interbase neu.";
constexpr const char* kNotStarted = "Datenbanksystem \"Interbase\" konnte nicht gestartet werden.";

// A server control whose answers are scripted; every call is logged. A service missing from
// states raises like one that is not installed; a started service runs from then on.
class ScriptedControl final : public ServerControl {
 public:
  bool installed = true;
  bool window = false;
  bool serviceManager = true;
  bool startRaises = false;
  bool startHelps = true;  // a started service makes the server answer
  std::map<std::string, int32_t, std::less<>> states;
  uint32_t launchableId = 0;  // what LaunchProgram gives for ibguard.exe; ibserver.exe gives 0
  std::vector<std::string> calls;

  bool IsInstalled() override { return calls.push_back("installed?"), installed; }
  std::string ServerDirectory() override { return calls.push_back("directory"), "C:\\IB\\bin\\"; }
  bool ServerAnswers() override { return calls.push_back("window?"), window; }
  bool HasServiceManager() override { return serviceManager; }
  int32_t QueryServiceState(std::string_view service) override {
    calls.push_back("query " + std::string(service));
    const auto it = states.find(service);
    if (it == states.end()) throw PlatformError("no service " + std::string(service), 1060);
    return it->second;
  }
  void RequestServiceStart(std::string_view service) override {
    calls.push_back("start " + std::string(service));
    if (startRaises) throw PlatformError("Win32-Fehler. Code: 5.", 5);
    if (startHelps) states["InterBaseServer"] = kServiceRunning;
  }
  uint32_t LaunchProgram(const std::string& exePath, const std::string& workDir) override {
    calls.push_back("launch " + exePath + " in " + workDir);
    return exePath.ends_with("ibguard.exe") ? launchableId : 0;
  }
};

class RecordingClock final : public SystemClock {
 public:
  DateTime Today() override { return 0; }
  DateTime Now() override { return 0; }
  void Sleep(uint32_t ms) override { steps.push_back("sleep " + std::to_string(ms)); }
  void PumpMessages() override { steps.push_back("pump"); }
  std::vector<std::string> steps;
};

class ServerStart : public ::testing::Test {
 protected:
  std::string Start() { return StartInterBaseServer(control, clock); }
  ScriptedControl control;
  RecordingClock clock;
};

TEST_F(ServerStart, MissingInstallationIsNamedAndNothingIsAsked) {
  control.installed = false;
  EXPECT_EQ(Start(), kNotInstalled);
  EXPECT_THAT(control.calls, ElementsAre("installed?"));
}

TEST_F(ServerStart, AVisibleServerIsEnoughWithoutServicesOrPause) {
  control.window = true;
  EXPECT_EQ(Start(), "");
  EXPECT_THAT(control.calls, ElementsAre("installed?", "window?"));
  EXPECT_THAT(clock.steps, IsEmpty());
}

TEST_F(ServerStart, StoppedServicesStartTheGuardianThenPauseAndCheckOnce) {
  control.states = {{"InterBaseServer", kServiceStopped}, {"InterBaseGuardian", kServiceStopped}};
  EXPECT_EQ(Start(), "");
  EXPECT_THAT(control.calls,
              ElementsAre("installed?", "window?", "query InterBaseServer", "query InterBaseGuardian",
                          "start InterBaseGuardian", "window?", "query InterBaseServer"));
  EXPECT_THAT(clock.steps, ElementsAre("pump", "sleep 1000", "pump"));
}

TEST_F(ServerStart, AGuardianThatDoesNotBringTheServerUpIsNotStarted) {
  control.states = {{"InterBaseServer", kServiceStopped}, {"InterBaseGuardian", kServiceStopped}};
  control.startHelps = false;
  EXPECT_EQ(Start(), kNotStarted);
}

TEST_F(ServerStart, AServerStartingAlreadyCountsAsRunning) {
  control.states = {{"InterBaseServer", 2}};  // start pending
  EXPECT_EQ(Start(), "");
  EXPECT_THAT(control.calls, ElementsAre("installed?", "window?", "query InterBaseServer"));
}

TEST_F(ServerStart, WithoutAGuardianTheServerServiceIsStartedDirectly) {
  control.states = {{"InterBaseServer", kServiceStopped}};
  EXPECT_EQ(Start(), "");
  EXPECT_THAT(control.calls, ::testing::Contains("start InterBaseServer"));
}

// No service at all: the guardian's start fails, then the server's, whose error leaves.
TEST_F(ServerStart, WhenBothServicesFailTheSecondErrorIsRaised) { EXPECT_THROW(Start(), PlatformError); }

TEST_F(ServerStart, AFailingStartOfTheServerServiceIsRaised) {
  control.states = {{"InterBaseServer", kServiceStopped}};
  control.startRaises = true;
  EXPECT_THROW(Start(), PlatformError);
}

TEST_F(ServerStart, WithoutAServiceManagerTheGuardianProgramThenTheServerIsLaunched) {
  control.serviceManager = false;
  EXPECT_EQ(Start(), kNotStarted);
  EXPECT_THAT(control.calls, ElementsAre("installed?", "window?", "directory",
                                         "launch C:\\IB\\bin\\ibguard.exe in C:\\IB\\bin\\",
                                         "launch C:\\IB\\bin\\ibserver.exe in C:\\IB\\bin\\"));
  EXPECT_THAT(clock.steps, IsEmpty());  // nothing started: no pause
}

// --- The POSIX control ---------------------------------------------------------------------------

TEST(FirebirdServerControl, PortComesFromTheHostPartOfTheDatabaseName) {
  using posix::FirebirdServerControl;
  const std::pair<const char*, int> cases[] = {
      {"localhost:/data/KXDB.IDB", 3050},
      {"localhost/3051:/data/KXDB.IDB", 3051},
      {"127.0.0.1/4000:x", 4000},
      {"", 3050},
      {"./KXDB.IDB", 3050},
      {"/data/a/b:c", 3050},
      {"localhost/99999:x", 3050},
      {"localhost/x:y", 3050},
  };
  for (const auto& [name, port] : cases) EXPECT_EQ(FirebirdServerControl::PortOf(name), port) << name;
}

TEST(FirebirdServerControl, AnInstallationThatIsNotThereIsNotInstalled) {
  test::MapSettings settings;
  settings.values = {{"FirebirdServer", "/nonexistent/kx/firebird"},
                     {"FirebirdService", "kx-no-such-service"}};
  posix::FirebirdServerControl control(settings);
  test::FixedClock clock;
  EXPECT_FALSE(control.IsInstalled());
  EXPECT_EQ(StartInterBaseServer(control, clock), kNotInstalled);
}

// The service name becomes part of a program's path: anything but a plain name is refused.
TEST(FirebirdServerControl, AServiceNameThatIsNoPlainNameIsNeitherFoundNorStarted) {
  test::MapSettings settings;
  settings.values = {{"FirebirdServer", "/nonexistent/kx/firebird"}, {"FirebirdService", "../../bin/sh"}};
  posix::FirebirdServerControl control(settings);
  EXPECT_FALSE(control.IsInstalled());
  EXPECT_THROW(control.RequestServiceStart("InterBaseServer"), PlatformError);
}

TEST(FirebirdServerControl, TheServerRunsWhenItsPortAcceptsAConnection) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const int port = ntohs(address.sin_port);

  test::MapSettings settings;
  settings.values = {{"ImportDB", "localhost/" + std::to_string(port) + ":/data/KXDB.IDB"}};
  posix::FirebirdServerControl control(settings);
  EXPECT_TRUE(control.ServerAnswers());
  EXPECT_EQ(control.QueryServiceState("InterBaseServer"), kServiceRunning);
  EXPECT_THROW(control.QueryServiceState("InterBaseGuardian"), PlatformError);
  ::close(listener);
  EXPECT_FALSE(control.ServerAnswers());
  EXPECT_EQ(control.QueryServiceState("InterBaseServer"), kServiceStopped);
}

}  // namespace
}  // namespace kx
