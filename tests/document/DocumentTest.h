#pragma once

// One import run per test: hand-made provider files in a temporary data directory, the column
// maps of install/, a fresh embedded staging database, TXML_Gen::GenerateImport, and the
// KORVALIX.XML it writes, which must validate against install/KORVALIX.xsd.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ProviderLines.h"
#include "platform/RegionalSettings.h"
#include "provider/ImpApi_Korvalix_Run.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "support/DbTestSupport.h"
#include "support/RunDoubles.h"
#include "support/TempDir.h"

namespace kx::documenttest {

// German number and date forms, lower-casing by the Windows-1252 table.
class GermanRegional final : public RegionalSettings {
 public:
  FormatSettings Formats() override;
  std::string LowerCase(std::string_view text) override;
};

// xmllint --noout --schema install/KORVALIX.xsd file, and what the schema cannot say: a second
// PARAM of I_CustomData is startid2 after startid1. The failure says what is wrong.
::testing::AssertionResult ValidatesAgainstSchema(const std::string& file);

// The document without its line breaks and indentation: "<A><B>x</B></A>".
std::string Compact(std::string_view xml);
// The compacted contents of every element with this name, in document order; an empty element
// ("<name />") gives "". Elements of one name do not nest in the document.
std::vector<std::string> Elements(std::string_view xml, std::string_view name);
// The DepotWert elements (compacted contents) whose DW_WKN is key.
std::vector<std::string> PositionsWithKey(std::string_view xml, std::string_view key);

// "\r\n" before every line, no line break after the last: the writer's layout.
std::string Document(const std::vector<std::string_view>& lines);

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Writes the provider files, runs GenerateImport into the test's database (made on the first
  // call) and reads the document (empty when none was written). Every document is checked
  // against the schema.
  int32_t Generate();
  // Only the run: files, database, GenerateImport (which may raise).
  int32_t RunGenerateImport();
  // A first import of one holding with transactions (HAS_TRANS 1) and these transaction rows;
  // the DepotTrans elements of the document in order.
  std::vector<std::string> TransactionsOf(const std::vector<ProviderLine>& rows);

  std::string DocumentPath() const;

  std::vector<ProviderLine> holdings;
  std::vector<ProviderLine> transactions;
  // Whole files, written instead of the records above when set.
  std::optional<std::string> holdingsFile;
  std::optional<std::string> transactionsFile;
  // The document alone again, from the tables the last run loaded, with the given queries.
  int32_t RewriteDocument(DocumentQueries queries, std::size_t depotRowsInMemory = 20000);

  GenerateImportArgs args;  // everything set for a first import; tests change what they need
  std::string document;

  test::EventLog events;
  test::RecordingProgress progress{events};
  test::FixedClock clock;
  GermanRegional regional;
  test::FakeUi ui{events};

 private:
  std::optional<dbtest::TestDatabase> database_;
  testsupport::TempDir dataDir_;
  testsupport::TempDir outputDir_;
};

}  // namespace kx::documenttest
