// Whole import runs through the library's exports, as a host makes them: the provider simulator
// over HTTPS on loopback, a real staging database (embedded, and through the server for the main
// path), and every document checked against the import schema.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ImpApiKorvalix.h"
#include "kxgen/ProviderData.h"
#include "support/DbTestSupport.h"
#include "support/Simulator.h"
#include "support/TempDir.h"

namespace kx::test {
namespace {

using dbtest::Via;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

struct Line {
  int32_t kind;
  int32_t value;
  std::string text;
};
std::vector<Line> gLines;
void KX_CALL Record(int32_t kind, int32_t value, const char* text) { gLines.push_back({kind, value, text}); }

// The plug-in, loaded once for the whole test program as a host loads it.
struct Plugin {
  Plugin() {
    handle = dlopen(KX_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw std::runtime_error(dlerror());
    ExportXML = reinterpret_cast<decltype(ExportXML)>(dlsym(handle, "ExportXML"));
    GetExportErrorMsg = reinterpret_cast<decltype(GetExportErrorMsg)>(dlsym(handle, "GetExportErrorMsg"));
    RegProgrCallback = reinterpret_cast<decltype(RegProgrCallback)>(dlsym(handle, "RegProgrCallback"));
  }
  void* handle = nullptr;
  decltype(&::ExportXML) ExportXML = nullptr;
  decltype(&::GetExportErrorMsg) GetExportErrorMsg = nullptr;
  decltype(&::RegProgrCallback) RegProgrCallback = nullptr;
};

Plugin& Library() {
  static Plugin plugin;
  return plugin;
}

class FileWriter final : public gen::Writer {
 public:
  explicit FileWriter(const std::filesystem::path& dir)
      : holdings_(dir / "bestandsdaten.csv", std::ios::binary),
        transactions_(dir / "transaktionsdaten.csv", std::ios::binary) {}
  void Holdings(std::string_view line) override { holdings_ << line; }
  void Transactions(std::string_view line) override { transactions_ << line; }

 private:
  std::ofstream holdings_;
  std::ofstream transactions_;
};

class WholeRunTest : public ::testing::TestWithParam<Via> {
 protected:
  static void SetUpTestSuite() {
    provider_ = std::make_unique<testsupport::TempDir>();
    const std::filesystem::path data = provider_->Path() / "data";
    for (const char* login : {"12345", "reimp", "empty"}) std::filesystem::create_directories(data / login);
    provider_->WriteFile("data/accounts.txt", "12345;4711\nreimp;1;reimport-required\nempty;1\n");
    gen::Sizes sizes;
    sizes.customers = 8;
    sizes.startIds = std::make_pair(std::string("9001"), std::string("77"));
    {
      FileWriter writer(data / "12345");
      counts_ = gen::Generate(sizes, 3, writer);
    }
    {
      FileWriter writer(data / "reimp");
      gen::Generate(sizes, 4, writer);
    }
    provider_->WriteFile("data/empty/bestandsdaten.csv", "VERBERNR;...\r\n");
    provider_->WriteFile("data/empty/transaktionsdaten.csv", "TRAID;...\r\n");
    const std::string certs = (provider_->Path() / "certs").string();
    Simulator::MakeCertificates(certs);
    setenv("VELQORA_CA_FILE", (certs + "/ca.pem").c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    simulator_ = std::make_unique<Simulator>(SimulatorOptions{data.string(), certs});
  }

  static void TearDownTestSuite() {
    simulator_.reset();
    provider_.reset();
  }

  void SetUp() override {
    simulator_->Reset();
    gLines.clear();
    try {
      database_.emplace(GetParam());
      db::Connection connection(dbtest::Client(), database_->Name());
      dbtest::ApplyStagingSchema(connection);
    } catch (const std::exception& error) {
      FAIL() << error.what();
    }
    // The host's folders: .../xml_temp for the document, so the data directory is .../KORVALIX/.
    std::filesystem::create_directories(host_.Path() / "xml_temp");
    std::filesystem::create_directories(DataDir() / "debug");
    for (const char* map : {"BESTAND.txt", "TRANSAKT.txt", "DBSTARTIDS.txt"}) {
      std::filesystem::copy_file(std::filesystem::path(KX_INSTALL_DIR) / map, DataDir() / map);
    }
    WriteSettings("");
    Library().RegProgrCallback(&Record);
  }

  void TearDown() override { Library().RegProgrCallback(nullptr); }

  std::filesystem::path DataDir() const { return host_.Path() / "KORVALIX"; }
  std::filesystem::path Document() const { return host_.Path() / "xml_temp" / "KORVALIX.XML"; }

  void WriteSettings(const std::string& more) {
    host_.WriteFile("registry.reg",
                    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX]\r\n"
                    "\"DownloadSrvUrl\"=\"" +
                        simulator_->HttpsUrl() +
                        "\"\r\n\"Timeout\"=\"20\"\r\n"
                        "\"ImportDB\"=\"" +
                        database_->Name() + "\"\r\n" + more);
    setenv("VELQORA_REGISTRY", (host_.Path() / "registry.reg").c_str(), 1);
  }

  int32_t Export(double lastImport, const std::string& login = "12345", const std::string& pin = "4711",
                 const std::string& more = "") {
    const std::string options = std::string(embeddedServer ? "EmbeddedIBServer=TRUE\r\n" : "") +
                                "NoMessageBoxes=TRUE\r\nUserLogin=" + login + "\r\nPassword=" + pin + "\r\n" +
                                more;
    const std::string outputDir = (host_.Path() / "xml_temp").string();
    return Library().ExportXML(outputDir.c_str(), "BR-9", 0, &lastImport, options.c_str());
  }

  bool embeddedServer = true;  // the option EmbeddedIBServer=TRUE: the run starts no server

  static std::string ErrorText(int32_t code) {
    char buffer[KX_ERROR_TEXT_BUFFER_SIZE];
    return Library().GetExportErrorMsg(code, buffer) == 0 ? std::string(buffer) : "<none>";
  }

  std::string DocumentText() const { return testsupport::TempDir::ReadFile(Document()); }

  // The document is valid against the import schema.
  void ExpectValidDocument() const {
    const std::string command = "xmllint --noout --schema " + std::string(KX_INSTALL_DIR) + "/KORVALIX.xsd " +
                                Document().string() + " 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
      EXPECT_EQ(pclose(pipe), 0) << output;
    } else {
      ADD_FAILURE() << "cannot run xmllint";
    }
  }

  static int64_t Occurrences(const std::string& text, const std::string& tag) {
    int64_t n = 0;
    for (std::size_t p = text.find(tag); p != std::string::npos; p = text.find(tag, p + 1)) ++n;
    return n;
  }

  static inline std::unique_ptr<testsupport::TempDir> provider_;
  static inline std::unique_ptr<Simulator> simulator_;
  static inline gen::Counts counts_;
  std::optional<dbtest::TestDatabase> database_;
  testsupport::TempDir host_;
};

// --- The main path, on both kinds of database --------------------------------------------------

TEST_P(WholeRunTest, FirstImportWritesTheWholeDocument) {
  ASSERT_EQ(Export(0), 0);
  EXPECT_THAT(simulator_->Log(),
              ElementsAre("login=12345 file=bestaende startid= startid2= reimport= pin=4711",
                          "login=12345 file=transaktionen startid=0 startid2=0 reimport=1 pin=4711"));
  const std::string doc = DocumentText();
  EXPECT_EQ(Occurrences(doc, "<Kundendaten>"), static_cast<int64_t>(counts_.customerRows));
  EXPECT_THAT(doc, HasSubstr("<PARAM>startid1=9001</PARAM>"));
  EXPECT_THAT(doc, Not(HasSubstr("<Depotdaten_Ohne_Zuordnung>")));
  EXPECT_EQ(testsupport::TempDir::ReadFile(DataDir() / "bestandsdaten.csv"),
            testsupport::TempDir::ReadFile(provider_->Path() / "data/12345/bestandsdaten.csv"));
  ExpectValidDocument();
}

// A tool beside the host learns each stage from the stage socket, in the order the run reaches
// them; without the variable nothing is sent.
TEST_P(WholeRunTest, ReportsItsStagesToTheStageSocket) {
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, sockets), 0);
  setenv("KX_STAGE_FD", std::to_string(sockets[1]).c_str(), 1);
  const int32_t result = Export(0);
  unsetenv("KX_STAGE_FD");
  std::string stages;
  for (unsigned char stage = 0; recv(sockets[0], &stage, 1, MSG_DONTWAIT) == 1;) {
    stages += static_cast<char>('0' + stage);
  }
  close(sockets[0]);
  close(sockets[1]);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(stages, "1212145");  // before each answer, each transfer, the load, the document
}

TEST_P(WholeRunTest, FollowUpImportContinuesFromTheStartIds) {
  ASSERT_EQ(Export(45000, "12345", "4711", "startid1=9001\r\nstartid2=77\r\n"), 0);
  EXPECT_THAT(simulator_->Log().at(1), HasSubstr("startid=9001 startid2=77 reimport=0"));
  const std::string doc = DocumentText();
  EXPECT_THAT(doc, HasSubstr("<Depotdaten_Ohne_Zuordnung>"));
  EXPECT_THAT(doc, Not(HasSubstr("<DT_Mode>B</DT_Mode>")));
  ExpectValidDocument();
}

// Without EmbeddedIBServer the run first makes sure the server runs: the running test server is
// found on its port, nothing is started, and the run goes on to the document.
TEST_P(WholeRunTest, ADefaultRunFindsTheRunningServerAndWritesTheDocument) {
  if (GetParam() == Via::Embedded) GTEST_SKIP() << "the server start is about the server path";
  embeddedServer = false;
  ASSERT_EQ(Export(0), 0);
  EXPECT_EQ(Occurrences(DocumentText(), "<Kundendaten>"), static_cast<int64_t>(counts_.customerRows));
  ExpectValidDocument();
}

INSTANTIATE_TEST_SUITE_P(Embedded, WholeRunTest, ::testing::Values(Via::Embedded));
INSTANTIATE_TEST_SUITE_P(Server, WholeRunTest, ::testing::Values(Via::Server));

// --- The other paths, on the embedded database -------------------------------------------------

class WholeRunPathTest : public WholeRunTest {};

TEST_P(WholeRunPathTest, ClearReimportRepeatsTheTransactionsRequestAndMarksTheDocument) {
  ASSERT_EQ(Export(45000, "reimp", "1", "startid1=5\r\nstartid2=6\r\n"), 0);
  EXPECT_THAT(simulator_->Log(),
              ElementsAre(HasSubstr("file=bestaende"), HasSubstr("startid=5 startid2=6 reimport=0"),
                          HasSubstr("startid=0 startid2=0 reimport=1")));
  EXPECT_THAT(DocumentText(), HasSubstr("<I_Reimport>clear</I_Reimport>"));
  ExpectValidDocument();
}

struct AnswerCase {
  const char* answer;
  int32_t result;
  const char* text;
};

TEST_P(WholeRunPathTest, ProviderErrorAnswersGiveTheirCodesAndTexts) {
  const AnswerCase cases[] = {
      {"Fehler 10 - abc", -31,
       "Fehler bei KORVALIX-Datenabruf: KORVALIX-Zugangsdaten (Login, PIN) fehlerhaft; Errorcode = 10"},
      {"Fehler 20 - Unbekannt", -32, "Fehler bei KORVALIX-Datenabruf: Unbekannt; Errorcode = 20"},
      {"Fehler 40 - alt", -34,
       "Fehler bei KORVALIX-Datenabruf: alt; Errorcode = 40\r\nBitte Update der KORVALIX-Schnittstelle "
       "installieren."},
      {"Fehler 99 - sonst", -30, "Fehler bei KORVALIX-Datenabruf: sonst; Errorcode = 99"},
  };
  for (const AnswerCase& c : cases) {
    simulator_->Fault("answer", c.answer);
    EXPECT_EQ(Export(1), c.result) << c.answer;
    EXPECT_EQ(ErrorText(c.result), c.text);
  }
  EXPECT_FALSE(std::filesystem::exists(Document()));
}

TEST_P(WholeRunPathTest, WrongPinIsRefusedByTheProvider) { EXPECT_EQ(Export(1, "12345", "0000"), -31); }

TEST_P(WholeRunPathTest, HttpFailuresGiveTheirCodes) {
  simulator_->Fault("status", "404");
  EXPECT_EQ(Export(1), -5);
  EXPECT_EQ(ErrorText(-5), "Internet-Fehler: Seite nicht gefunden");
  simulator_->Fault("status", "503");
  EXPECT_EQ(Export(1), -8);
  simulator_->Fault("short-body", "10");
  EXPECT_EQ(Export(1), -7);
  ASSERT_FALSE(gLines.empty());
  EXPECT_EQ(gLines.back().kind, 4);
  EXPECT_EQ(gLines.back().text, "Datenabruf fehlgeschlagen: bestandsdaten.csv\r\nStatus: 200");
}

TEST_P(WholeRunPathTest, OfflineModeNeverAsksTheProvider) {
  for (const char* file : {"bestandsdaten.csv", "transaktionsdaten.csv"}) {
    std::filesystem::copy_file(provider_->Path() / "data/12345" / file, DataDir() / "debug" / file);
  }
  WriteSettings("\"DebugMode\"=\"2\"\r\n");
  ASSERT_EQ(Export(0), 0);
  EXPECT_THAT(simulator_->Log(), IsEmpty());
  EXPECT_EQ(Occurrences(DocumentText(), "<Kundendaten>"), static_cast<int64_t>(counts_.customerRows));
  ExpectValidDocument();
}

TEST_P(WholeRunPathTest, FirstImportWithoutCustomersGivesMinus28AndTheHeaderOnlyDocument) {
  EXPECT_EQ(Export(0, "empty", "1"), -28);
  EXPECT_EQ(ErrorText(-28).rfind("\r\nDer Erst-Import liefert keine Kundendaten", 0), 0u);
  const std::string doc = DocumentText();
  EXPECT_EQ(Occurrences(doc, "<Kundendaten>"), 0);
  EXPECT_THAT(doc, HasSubstr("<I_BeraterRef>BR-9</I_BeraterRef>"));
  ExpectValidDocument();
}

TEST_P(WholeRunPathTest, FailingStagingLeavesTheEarlierDocument) {
  ASSERT_EQ(Export(0), 0);
  const std::string earlier = DocumentText();
  std::filesystem::remove(DataDir() / "TRANSAKT.txt");
  EXPECT_EQ(Export(0), -29);
  ASSERT_FALSE(gLines.empty());
  EXPECT_EQ(gLines.back().kind, 4);
  EXPECT_THAT(gLines.back().text, HasSubstr("TRANSAKT.txt"));
  EXPECT_EQ(DocumentText(), earlier);
}

INSTANTIATE_TEST_SUITE_P(Embedded, WholeRunPathTest, ::testing::Values(Via::Embedded));

}  // namespace
}  // namespace kx::test
