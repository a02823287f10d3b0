#include "DocumentTest.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "util/Cp1252.h"

namespace kx::documenttest {

FormatSettings GermanRegional::Formats() { return GermanFormats(); }

std::string GermanRegional::LowerCase(std::string_view text) { return ToLower1252(text); }

::testing::AssertionResult ValidatesAgainstSchema(const std::string& file) {
  const std::string xmllint = KX_XMLLINT;
  if (xmllint.empty() || xmllint.ends_with("NOTFOUND")) {
    return ::testing::AssertionFailure()
           << "xmllint was not found when the build was configured (libxml2-utils)";
  }
  const std::string command = xmllint + " --noout --schema '" + KX_DOCUMENT_SCHEMA + "' '" + file + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return ::testing::AssertionFailure() << "cannot run " << command;
  std::string output;
  std::array<char, 4096> buffer{};
  while (const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
    output.append(buffer.data(), n);
  const int status = pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return ::testing::AssertionFailure() << file << " does not validate against KORVALIX.xsd:\n" << output;
  }
  const std::vector<std::string> params = Elements(testsupport::TempDir::ReadFile(file), "PARAM");
  if (params.size() == 2 && !(params[0].starts_with("startid1=") && params[1].starts_with("startid2="))) {
    return ::testing::AssertionFailure() << file << ": the PARAM elements are not startid1, startid2";
  }
  return ::testing::AssertionSuccess();
}

std::string Compact(std::string_view xml) {
  std::string out;
  for (std::size_t i = 0; i < xml.size(); ++i) {
    if (xml[i] == '\r' && i + 1 < xml.size() && xml[i + 1] == '\n') {
      i += 2;
      while (i < xml.size() && xml[i] == ' ') ++i;
      --i;
      continue;
    }
    out += xml[i];
  }
  return out;
}

std::vector<std::string> Elements(std::string_view xml, std::string_view name) {
  const std::string open = "<" + std::string(name) + ">";
  const std::string empty = "<" + std::string(name) + " />";
  const std::string close = "</" + std::string(name) + ">";
  std::vector<std::string> found;
  std::size_t pos = 0;
  while (true) {
    const std::size_t atOpen = xml.find(open, pos);
    const std::size_t atEmpty = xml.find(empty, pos);
    if (atOpen == std::string_view::npos && atEmpty == std::string_view::npos) break;
    if (atEmpty < atOpen) {
      found.emplace_back();
      pos = atEmpty + empty.size();
      continue;
    }
    const std::size_t begin = atOpen + open.size();
    const std::size_t end = xml.find(close, begin);
    if (end == std::string_view::npos) break;
    found.push_back(Compact(xml.substr(begin, end - begin)));
    pos = end + close.size();
  }
  return found;
}

std::vector<std::string> PositionsWithKey(std::string_view xml, std::string_view key) {
  const std::string wkn = "<DW_WKN>" + std::string(key) + "</DW_WKN>";
  std::vector<std::string> found;
  for (std::string& position : Elements(xml, "DepotWert")) {
    if (position.find(wkn) != std::string::npos) found.push_back(std::move(position));
  }
  return found;
}

std::string Document(const std::vector<std::string_view>& lines) {
  std::string text;
  for (const std::string_view line : lines) {
    text += "\r\n";
    text += line;
  }
  return text;
}

void DocumentTest::SetUp() {
  const std::filesystem::path install = KX_INSTALL_DIR;
  for (const char* map : {"BESTAND.txt", "TRANSAKT.txt", "DBSTARTIDS.txt"}) {
    std::filesystem::copy_file(install / map, dataDir_.Path() / map);
  }
  args.DataDir = dataDir_.Path().string() + "/";
  args.OutputDir = outputDir_.Path().string();
  args.ImportDate = clock.today;
  args.LastImport = 0;
  args.AdvisorRef = "BR-01";
}

std::string DocumentTest::DocumentPath() const { return (outputDir_.Path() / "KORVALIX.XML").string(); }

int32_t DocumentTest::RunGenerateImport() {
  // One database per test: every run empties the staging tables first.
  if (!database_) {
    database_.emplace(dbtest::Via::Embedded);
    db::Connection connection(dbtest::Client(), database_->Name());
    dbtest::ApplyStagingSchema(connection);
  }
  args.ImportDb = database_->Name();  // a plain path: the engine runs inside the test
  dataDir_.WriteFile("bestandsdaten.csv", holdingsFile ? *holdingsFile : HoldingsFile(holdings));
  dataDir_.WriteFile("transaktionsdaten.csv",
                     transactionsFile ? *transactionsFile : TransactionsFile(transactions));

  TXML_Gen generator({progress, clock, regional, ui});
  return generator.GenerateImport(args);
}

int32_t DocumentTest::RewriteDocument(DocumentQueries queries, std::size_t depotRowsInMemory) {
  TXML_Gen generator({progress, clock, regional, ui});
  generator.QuerySet = queries;
  generator.DepotRowsInMemory = depotRowsInMemory;
  generator.AdvisorRef = args.AdvisorRef;
  generator.LastImport = args.LastImport;
  generator.ImportDate = args.ImportDate;
  generator.ClearReimport = args.ClearReimport;
  const int32_t result = generator.WriteImportFileFrom(database_->Name(), args.OutputDir);
  document = testsupport::TempDir::ReadFile(DocumentPath());
  return result;
}

int32_t DocumentTest::Generate() {
  const int32_t result = RunGenerateImport();
  document.clear();
  if (std::filesystem::exists(DocumentPath())) {
    document = testsupport::TempDir::ReadFile(DocumentPath());
    EXPECT_TRUE(ValidatesAgainstSchema(DocumentPath()));
  } else {
    ADD_FAILURE() << "no " << DocumentPath();
  }
  return result;
}

std::vector<std::string> DocumentTest::TransactionsOf(const std::vector<ProviderLine>& rows) {
  holdings = {HoldingWithTransactions()};
  transactions = rows;
  EXPECT_EQ(Generate(), 0);
  return Elements(document, "DepotTrans");
}

}  // namespace kx::documenttest
