// The import run against doubles of its collaborators: order of the steps, codes, messages,
// request texts and the module values it leaves behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "db/DatabaseError.h"
#include "net/ImpApiINet.h"
#include "platform/posix/NettleDes.h"
#include "provider/ImpApi_Korvalix_Request.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "support/RunDoubles.h"
#include "support/TestNames.h"

namespace kx::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kFullOptions = "EmbeddedIBServer=TRUE\r\nUserLogin=12345\r\nPassword=geheim\r\n";

class RunTest : public ::testing::Test {
 protected:
  int32_t Run(const char* options, double lastImport = 1.0, const char* outputDir = "/host/xml_temp") {
    lastImport_ = lastImport;
    RunServices services{values, progress, settings, ui, clock, des, server, fetcher, generator, locks};
    return RunImportWith(services, {outputDir, "  BR-77 ", 0, &lastImport_, options});
  }

  // The request text the fetcher received, decoded with the project's own decoder.
  std::string RequestOf(std::size_t call) {
    const std::string& url = fetcher.calls.at(call).url;
    const std::size_t pos = url.find("?params=");
    EXPECT_NE(pos, std::string::npos);
    posix::NettleDes nettle;
    return DecodeRequest(nettle, url.substr(pos + 8)).value_or("<not decodable>");
  }

  std::vector<Message> MessagesOfKind(int32_t kind) const {
    std::vector<Message> out;
    for (const Message& m : progress.messages) {
      if (m.kind == kind) out.push_back(m);
    }
    return out;
  }

  EventLog events;
  ProviderValues values;
  RecordingProgress progress{events};
  MapSettings settings;
  FakeUi ui{events};
  FixedClock clock;
  FailingDes des;  // fails from a call far beyond the run unless a test says otherwise
  FakeServer server{events};
  ScriptedFetcher fetcher{events};
  RecordingGenerator generator{events};
  FakeLocker locks;

  void SetUp() override { des.failFromCall = 1000; }

 private:
  double lastImport_ = 1.0;
};

// --- Order of the early checks -----------------------------------------------------------------

TEST_F(RunTest, NullOptionTextEndsWithMinus11BeforeTheServerIsTouched) {
  EXPECT_EQ(Run(nullptr), -11);
  EXPECT_THAT(events, IsEmpty());
}

TEST_F(RunTest, NullOptionTextStillSendsTheDataDirLineFirst) {
  settings.values["DataDir"] = "/data/kx/";
  EXPECT_EQ(Run(nullptr), -11);
  EXPECT_THAT(progress.messages, ElementsAre(Message{3, 0, "DataDir = /data/kx/"}));
}

TEST_F(RunTest, MissingLoginIsReportedOnlyAfterTheServerStart) {
  EXPECT_EQ(Run("Password=x"), -12);
  EXPECT_THAT(events, ElementsAre("server"));
}

TEST_F(RunTest, EmptyOptionTextStartsTheServerAndEndsWithMinus12) {
  EXPECT_EQ(Run(""), -12);
  EXPECT_THAT(events, ElementsAre("server"));
}

TEST_F(RunTest, ServerStartFailureSendsItsTextAndEndsWithMinus29) {
  server.errorText = "Datenbanksystem konnte nicht gestartet werden.";
  EXPECT_EQ(Run("UserLogin=1\nPassword=2"), -29);
  EXPECT_THAT(progress.messages,
              ElementsAre(Message{1, 0, "Datenbanksystem konnte nicht gestartet werden."}));
  EXPECT_THAT(fetcher.calls, IsEmpty());
}

TEST_F(RunTest, EmbeddedServerSwitchSkipsTheServerStep) {
  for (const char* line : {"EmbeddedIBServer= true", "embeddedibserver=TRUE", "EmbeddedIBServer=True "}) {
    events.clear();
    EXPECT_EQ(Run(line), -12) << line;
    EXPECT_THAT(events, IsEmpty()) << line;
  }
}

TEST_F(RunTest, OtherSwitchValuesStartTheServer) {
  for (const char* line :
       {"EmbeddedIBServer=yes", "EmbeddedIBServer=1", "EmbeddedIBServer", " EmbeddedIBServer=TRUE"}) {
    events.clear();
    Run(line);
    EXPECT_THAT(events, ElementsAre("server")) << line;
  }
}

// --- PIN prompt ---------------------------------------------------------------------------------

TEST_F(RunTest, MissingPinAsksForItWithProviderAndLogin) {
  ui.pinEntry = " 4711 ";
  EXPECT_EQ(Run("EmbeddedIBServer=TRUE\nUserLogin= 12345 \n"), 0);
  EXPECT_EQ(events.front(), "pin KORVALIX 12345");
  // The PIN is used as typed, blanks included.
  EXPECT_EQ(RequestOf(0), "version=2;file=bestaende;loginid=12345;pin= 4711 ;");
}

TEST_F(RunTest, CancelledPinPromptEndsWithMinus15BeforeAnyRequest) {
  EXPECT_EQ(Run("EmbeddedIBServer=TRUE\nUserLogin=12345\nPassword=  "), -15);
  EXPECT_THAT(events, ElementsAre("pin KORVALIX 12345"));
}

TEST_F(RunTest, GivenPasswordSuppressesThePrompt) {
  fetcher.results = {-31};
  EXPECT_EQ(Run(kFullOptions), -31);
  EXPECT_THAT(events, ElementsAre("progress 1,1 Daten abrufen ...", "fetch bestandsdaten.csv"));
}

// --- First-import notice ------------------------------------------------------------------------

TEST_F(RunTest, FirstImportShowsTheNoticeThenSendsTheLogLine) {
  Run(kFullOptions, 0.0);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0],
            "box Information: Der Erst-Import umfasst eine grosse Zahl von Depotdaten.\r"
            "Dieser Vorgang kann eventuell einige Minuten dauern.");
  EXPECT_EQ(events[1], "progress 3,0 Erst-Import f\xFCr Berater-Referenz");
}

TEST_F(RunTest, NoMessageBoxesSuppressesOnlyTheBox) {
  Run("EmbeddedIBServer=TRUE\nNoMessageBoxes= TRUE\nUserLogin=1\nPassword=2", 0.0);
  EXPECT_EQ(events[0], "progress 3,0 Erst-Import f\xFCr Berater-Referenz");
}

TEST_F(RunTest, FollowUpImportHasNoNoticeAndNoLogLine) {
  Run(kFullOptions, 45000.0);
  EXPECT_EQ(events[0], "progress 1,1 Daten abrufen ...");
}

// --- Requests -----------------------------------------------------------------------------------

TEST_F(RunTest, RequestsCarryTheExactTexts) {
  EXPECT_EQ(Run("EmbeddedIBServer=TRUE\nUserLogin=12345\nPassword=geheim\nstartid1= 881 \nstartid2=abc", 7.0),
            0);
  ASSERT_EQ(fetcher.calls.size(), 2u);
  EXPECT_EQ(RequestOf(0), "version=2;file=bestaende;loginid=12345;pin=geheim;");
  EXPECT_EQ(RequestOf(1),
            "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=881;startid2=abc;reimport=0");
  EXPECT_EQ(fetcher.calls[0].plainCopy, "version=2;file=bestaende;loginid=12345;pin=geheim;");
  EXPECT_EQ(fetcher.calls[0].fileName, "bestandsdaten.csv");
  EXPECT_EQ(fetcher.calls[1].fileName, "transaktionsdaten.csv");
}

TEST_F(RunTest, UrlIsServiceAddressParamsAndEncodedText) {
  settings.values["DownloadSrvUrl"] = "https://127.0.0.1:8443/x.php";
  Run(kFullOptions);
  std::string encoded = "version=2;file=bestaende;loginid=12345;pin=geheim;";
  std::string plain;
  posix::NettleDes nettle;
  ASSERT_EQ(EncodeRequest(nettle, encoded, plain), 0);
  EXPECT_EQ(fetcher.calls.at(0).url, "https://127.0.0.1:8443/x.php?params=" + encoded);
}

TEST_F(RunTest, EmptyServiceAddressGivesAUrlStartingWithParams) {
  settings.values["DownloadSrvUrl"] = "";
  Run(kFullOptions);
  EXPECT_EQ(fetcher.calls.at(0).url.rfind("?params=", 0), 0u);
}

TEST_F(RunTest, MissingStartIdsAreSentAsZero) {
  Run(kFullOptions, 3.0);
  EXPECT_EQ(RequestOf(1),
            "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=0;startid2=0;reimport=0");
}

TEST_F(RunTest, FirstImportAsksForReimport) {
  for (double first : {0.0, -0.0}) {
    fetcher.calls.clear();
    Run(kFullOptions, first);
    EXPECT_EQ(RequestOf(1),
              "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=0;startid2=0;reimport=1");
  }
}

TEST_F(RunTest, ValuesAreInsertedWithoutEscaping) {
  Run("EmbeddedIBServer=TRUE\nUserLogin=a;b=c\nPassword=p;q");
  EXPECT_EQ(RequestOf(0), "version=2;file=bestaende;loginid=a;b=c;pin=p;q;");
}

// --- Messages and hand-off ----------------------------------------------------------------------

TEST_F(RunTest, SuccessfulRunSendsItsMessagesInOrderAndHandsEverythingOn) {
  settings.values["ImportDB"] = "./KXDB.IDB";
  EXPECT_EQ(Run(kFullOptions, 45000.5, "/srv/Host/XML_TEMP"), 0);
  EXPECT_THAT(events,
              ElementsAre("progress 1,1 Daten abrufen ...", "fetch bestandsdaten.csv", "progress 2,5 ",
                          "fetch transaktionsdaten.csv", "progress 2,10 ", "generate"));
  ASSERT_EQ(generator.received.size(), 1u);
  const GenerateImportArgs& args = generator.received[0];
  EXPECT_EQ(args.DataDir, "/srv/Host/KORVALIX/");
  EXPECT_FALSE(args.ClearReimport);
  EXPECT_EQ(args.ImportDb, "./KXDB.IDB");
  EXPECT_EQ(args.ImportDate, EncodeDate(2026, 12, 9));
  EXPECT_EQ(args.LastImport, 45000.5);
  EXPECT_EQ(args.OutputDir, "/srv/Host/XML_TEMP");
  EXPECT_EQ(args.AdvisorRef, "  BR-77 ");
  EXPECT_EQ(values.LastProviderErrorText, "  BR-77 ");
  EXPECT_EQ(fetcher.calls[0].dataDir, "/srv/Host/KORVALIX/");
}

TEST_F(RunTest, GeneratorResultIsTheRunResult) {
  generator.result = -28;
  EXPECT_EQ(Run(kFullOptions, 0.0), -28);
}

TEST_F(RunTest, GeneratorExceptionLeavesTheRun) {
  generator.throwText = "database gone";
  EXPECT_THROW(Run(kFullOptions), Error);
}

TEST_F(RunTest, HoldingsFailureEndsTheRunWithItsCode) {
  fetcher.results = {-5};
  EXPECT_EQ(Run(kFullOptions), -5);
  EXPECT_EQ(fetcher.calls.size(), 1u);
  EXPECT_THAT(MessagesOfKind(2), IsEmpty());
}

TEST_F(RunTest, TransactionsFailureEndsTheRunAfterTheHoldingsPosition) {
  fetcher.results = {0, -1015};
  EXPECT_EQ(Run(kFullOptions), -1015);
  EXPECT_THAT(MessagesOfKind(2), ElementsAre(Message{2, 5, ""}));
  EXPECT_THAT(generator.received, IsEmpty());
}

TEST_F(RunTest, ImportDateIsTakenBeforeTheFirstRequest) {
  fetcher.onFetch = [this] { clock.today = EncodeDate(2030, 1, 1); };
  Run(kFullOptions);
  EXPECT_EQ(generator.received.at(0).ImportDate, EncodeDate(2026, 12, 9));
}

// --- Clear re-import ----------------------------------------------------------------------------

TEST_F(RunTest, ClearReimportRepeatsTheTransactionsRequestOnce) {
  fetcher.results = {0, -36, 0};
  EXPECT_EQ(Run("EmbeddedIBServer=TRUE\nUserLogin=12345\nPassword=geheim\nstartid1=9\nstartid2=8", 5.0), 0);
  ASSERT_EQ(fetcher.calls.size(), 3u);
  EXPECT_EQ(RequestOf(1),
            "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=9;startid2=8;reimport=0");
  EXPECT_EQ(RequestOf(2),
            "version=2;file=transaktionen;loginid=12345;pin=geheim;startid=0;startid2=0;reimport=1");
  EXPECT_THAT(
      MessagesOfKind(3),
      ElementsAre(Message{3, 0, "Clear-Reimport erforderlich: Importierte Depots werden neu erzeugt."}));
  EXPECT_TRUE(generator.received.at(0).ClearReimport);
}

TEST_F(RunTest, SecondClearReimportDemandEndsTheRunWithMinus36) {
  fetcher.results = {0, -36, -36};
  EXPECT_EQ(Run(kFullOptions), -36);
  EXPECT_EQ(fetcher.calls.size(), 3u);
  EXPECT_THAT(generator.received, IsEmpty());
}

// --- Encoding failures --------------------------------------------------------------------------

TEST_F(RunTest, HoldingsEncodingFailureGivesMinus21WithTheCipherCode) {
  des.failFromCall = 1;
  des.code = 1234;
  EXPECT_EQ(Run(kFullOptions), -21);
  EXPECT_EQ(values.LastProviderErrorCode, 1234);
  EXPECT_THAT(fetcher.calls, IsEmpty());
}

TEST_F(RunTest, TransactionsEncodingFailureGivesMinus22) {
  des.failFromCall = 2;
  EXPECT_EQ(Run(kFullOptions), -22);
  EXPECT_EQ(values.LastProviderErrorCode, 7);
  EXPECT_EQ(fetcher.calls.size(), 1u);
}

TEST_F(RunTest, RepeatedRequestEncodingFailureGivesMinus22) {
  des.failFromCall = 3;
  fetcher.results = {0, -36};
  EXPECT_EQ(Run(kFullOptions), -22);
  EXPECT_EQ(fetcher.calls.size(), 2u);
}

TEST_F(RunTest, SuccessfulEncodingLeavesTheProviderErrorCodeZero) {
  values.LastProviderErrorCode = 99;
  Run(kFullOptions);
  EXPECT_EQ(values.LastProviderErrorCode, 0);
}

// --- Settings and data directory ----------------------------------------------------------------

TEST_F(RunTest, DataDirSettingIsUsedAsAPrefix) {
  settings.values["DataDir"] = "/data/kx";
  Run(kFullOptions);
  EXPECT_EQ(fetcher.calls.at(0).dataDir, "/data/kx");
  EXPECT_EQ(progress.messages.at(0), (Message{3, 0, "DataDir = /data/kx"}));
}

TEST_F(RunTest, SettingsTypeErrorFallsBackToTheDefaultAddressAndTheRunGoesOn) {
  settings.values["DownloadSrvUrl"] = "https://127.0.0.1/x";
  settings.typeErrors = {"Timeout"};
  values.Timeout = 42;
  EXPECT_EQ(Run(kFullOptions), 0);
  EXPECT_EQ(values.serviceUrl, kDefaultServiceUrl);
  EXPECT_EQ(values.Timeout, 42);
  EXPECT_EQ(fetcher.calls.at(0).url.rfind(std::string(kDefaultServiceUrl) + "?params=", 0), 0u);
}

TEST_F(RunTest, DebugModeIsResetAtTheStartOfEveryRun) {
  values.DebugMode = 2;
  settings.keyExists = false;
  Run(nullptr);
  EXPECT_EQ(values.DebugMode, 0);
}

struct DataDirCase {
  const char* setting;
  const char* outputDir;
  const char* dataDir;
};

class RunDataDirTest : public ::testing::TestWithParam<DataDirCase> {};

// kximport check shows RunDataDir's text, so these cases are also what it reports.
TEST_P(RunDataDirTest, SettingAsPrefixElseOutputDirWithoutXmlTempPlusProviderFolder) {
  EXPECT_EQ(RunDataDir(GetParam().setting, GetParam().outputDir), GetParam().dataDir);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RunDataDirTest,
    ::testing::Values(DataDirCase{"", "/host/xml_temp", "/host/KORVALIX/"},
                      DataDirCase{"", "/host/XML_TEMP", "/host/KORVALIX/"},
                      DataDirCase{"", "/out", "/outKORVALIX/"},
                      DataDirCase{"", "/a/xml_temp/b/xml_temp", "/a//b/xml_tempKORVALIX/"},
                      DataDirCase{"", "", "KORVALIX/"},
                      DataDirCase{"/data/kx/", "/host/xml_temp", "/data/kx/"},
                      DataDirCase{"/data/kx", "/host/xml_temp", "/data/kx"}),
    [](const auto& info) { return testsupport::CaseName(info.index, info.param.outputDir); });

// --- One run per data directory ----------------------------------------------------------------

constexpr const char* kDefaultLock = "/host/KORVALIX/import.lock";

// A run that finds the lock taken shows nothing and fetches nothing: the PIN (asked before) and
// the line naming the directory, -29. The lock file follows the provider files' prefix rule.
TEST_F(RunTest, RunFindingTheDataDirectoryLockedEndsAtOnceWithItsLine) {
  struct Case {
    const char* dataDir;
    const char* lockFile;
    const char* line;
  } cases[] = {
      {"", kDefaultLock, "Im Datenverzeichnis /host/KORVALIX/ l\xE4uft bereits ein Import."},
      {"/data/kx", "/data/kximport.lock", "Im Datenverzeichnis /data/kx l\xE4uft bereits ein Import."},
  };
  for (const Case& c : cases) {
    settings.values["DataDir"] = c.dataDir;
    locks.held = {c.lockFile};
    events.clear();
    ui.pinEntry = "1";
    EXPECT_EQ(Run("EmbeddedIBServer=TRUE\nUserLogin=12345", 0.0), -29) << c.dataDir;
    std::vector<std::string> expected = {"pin KORVALIX 12345", std::string("progress 4,0 ") + c.line};
    if (*c.dataDir != 0)
      expected.insert(expected.begin(), std::string("progress 3,0 DataDir = ") + c.dataDir);
    EXPECT_EQ(events, expected) << c.dataDir;
  }
}

// Held while the files are fetched and the document is written, released on every way out.
TEST_F(RunTest, LockIsHeldFromTheFirstFetchToTheDocumentAndReleasedOnEveryPath) {
  struct Case {
    std::vector<int32_t> fetchResults;
    const char* generatorThrows;
  } cases[] = {{{}, ""}, {{-31}, ""}, {{0, -3}, ""}, {{}, "database gone"}};
  for (const Case& c : cases) {
    fetcher.results = c.fetchResults;
    fetcher.calls.clear();
    generator.throwText = c.generatorThrows;
    fetcher.onFetch = [this] { EXPECT_TRUE(locks.held.contains(kDefaultLock)); };
    generator.onGenerate = [this] { EXPECT_TRUE(locks.held.contains(kDefaultLock)); };
    try {
      Run(kFullOptions);
    } catch (const Error&) {
    }
    EXPECT_TRUE(locks.held.empty()) << c.fetchResults.size() << c.generatorThrows;
  }
}

// A host may call ExportXML again from a click while the first run lets its messages run.
TEST_F(RunTest, SecondCallDuringTheRunIsRefusedAndTheFirstGoesOn) {
  int32_t nested = 0;
  generator.onGenerate = [&] {
    generator.onGenerate = nullptr;
    nested = Run(kFullOptions);
  };
  EXPECT_EQ(Run(kFullOptions), 0);
  EXPECT_EQ(nested, -29);
  EXPECT_EQ(fetcher.calls.size(), 2u);
  EXPECT_EQ(generator.received.size(), 1u);
}

// --- Independent check of the wire form ---------------------------------------------------------

// Deciphers a params value with the openssl command line, which knows nothing of this project.
std::string OpenSslDecode(const std::string& params) {
  const std::string raw = Base64Decode(UrlDecode(params, false).value()).value();
  char dir[] = "/tmp/kxrunXXXXXX";
  if (mkdtemp(dir) == nullptr) return "<no temp dir>";
  const std::string in = std::string(dir) + "/in.bin";
  const std::string out = std::string(dir) + "/out.txt";
  std::ofstream(in, std::ios::binary) << raw.substr(8);
  const std::string iv = raw.substr(0, 8);
  char ivHex[17];
  for (int i = 0; i < 8; ++i) std::snprintf(ivHex + 2 * i, 3, "%02x", static_cast<unsigned char>(iv[i]));
  const std::string command = "openssl enc -d -des-cbc -K 7038487832566d5a -iv " + std::string(ivHex) +
                              " -provider legacy -provider default -in " + in + " -out " + out +
                              " 2>/dev/null";
  const int status = std::system(command.c_str());
  std::ifstream result(out, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(result)), std::istreambuf_iterator<char>());
  std::remove(in.c_str());
  std::remove(out.c_str());
  rmdir(dir);
  return status == 0 ? text : "<openssl failed>";
}

TEST_F(RunTest, WireFormDecryptsIndependentlyToTheRequestTexts) {
  fetcher.results = {0, -36, 0};
  Run("EmbeddedIBServer=TRUE\nUserLogin=12345\nPassword=g\xFCltig\nstartid1=17\nstartid2=4", 0.0);
  ASSERT_EQ(fetcher.calls.size(), 3u);
  auto params = [this](std::size_t i) {
    return fetcher.calls[i].url.substr(fetcher.calls[i].url.find('=') + 1);
  };
  EXPECT_EQ(OpenSslDecode(params(0)), "version=2;file=bestaende;loginid=12345;pin=g\xFCltig;");
  EXPECT_EQ(OpenSslDecode(params(1)),
            "version=2;file=transaktionen;loginid=12345;pin=g\xFCltig;startid=17;startid2=4;reimport=1");
  EXPECT_EQ(OpenSslDecode(params(2)),
            "version=2;file=transaktionen;loginid=12345;pin=g\xFCltig;startid=0;startid2=0;reimport=1");
}

}  // namespace
}  // namespace kx::test
