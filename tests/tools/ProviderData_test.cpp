// The generated provider files, read the way the import reads them: lines, the splitting rules,
// the column maps and the staging schema of the installation.
#include "kxgen/ProviderData.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "util/Cp1252.h"

namespace {

using kx::operator""_cp1252;
using kx::gen::Counts;
using kx::gen::Sizes;

class StringWriter : public kx::gen::Writer {
 public:
  void Holdings(std::string_view line) override { holdings.append(line); }
  void Transactions(std::string_view line) override { transactions.append(line); }
  std::string holdings;
  std::string transactions;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The importer's splitting: ";" separates; a field that begins with a quote is quoted, "" in it
// is one quote, a single quote ends it and what follows up to the next ";" is dropped.
std::vector<std::string> SplitRecord(std::string_view line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size();) {
    if (line[i] == '"' && fields.back().empty()) {
      for (++i; i < line.size(); ++i) {
        if (line[i] != '"') {
          fields.back().push_back(line[i]);
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
          fields.back().push_back('"');
          ++i;
        } else {
          break;
        }
      }
      while (i < line.size() && line[i] != ';') ++i;
    } else if (line[i] == ';') {
      fields.emplace_back();
      ++i;
    } else {
      fields.back().push_back(line[i++]);
    }
  }
  return fields;
}

// A file's lines without CR LF; every line must end with CR LF and hold no other CR or LF.
std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < file.size()) {
    const std::size_t end = file.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "last line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(file.substr(start, end - start));
    EXPECT_EQ(lines.back().find_first_of("\r\n"), std::string::npos) << "line " << lines.size();
    start = end + 2;
  }
  return lines;
}

// NAME=N lines of an installation map.
std::map<std::string, std::size_t> ReadMap(const std::string& name) {
  std::map<std::string, std::size_t> map;
  std::istringstream in(ReadFile(std::filesystem::path(KX_SOURCE_DIR) / "install" / name));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (eq != std::string::npos) map[line.substr(0, eq)] = std::stoul(line.substr(eq + 1));
  }
  return map;
}

using Row = std::vector<std::string>;

struct Column {
  std::string type;        // INTEGER, SMALLINT, DOUBLE, VARCHAR
  std::size_t length = 0;  // VARCHAR only
};

// The columns of one CREATE TABLE of install/KXDB.sql.
std::map<std::string, Column> ReadSchema(const std::string& table) {
  std::map<std::string, Column> columns;
  std::istringstream in(ReadFile(std::filesystem::path(KX_SOURCE_DIR) / "install" / "KXDB.sql"));
  const std::regex column(R"(^\s+(\w+)\s+(INTEGER|SMALLINT|DOUBLE PRECISION|VARCHAR\((\d+)\)))");
  bool inside = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("CREATE TABLE " + table + " ", 0) == 0) {
      inside = true;
    } else if (inside && line.rfind(");", 0) == 0) {
      break;
    }
    std::smatch m;
    if (inside && std::regex_search(line, m, column)) {
      columns[m[1]] = {m[3].matched ? "VARCHAR" : m[2].str().substr(0, m[2].str().find(' ')),
                       m[3].matched ? std::stoul(m[3]) : 0};
    }
  }
  return columns;
}

// One file as records whose fields are reached by the map's column names.
struct Table {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  std::map<std::string, std::size_t> map;

  const std::string& Get(const std::vector<std::string>& row, const std::string& name) const {
    return row.at(map.at(name) - 1);
  }
};

Table Parse(const std::string& file, const std::string& mapName) {
  Table table;
  table.map = ReadMap(mapName);
  const auto lines = Lines(file);
  if (lines.empty()) return table;
  table.header = SplitRecord(lines[0]);
  for (std::size_t i = 1; i < lines.size(); ++i) table.rows.push_back(SplitRecord(lines[i]));
  return table;
}

struct Files {
  std::string holdingsText;
  std::string transactionsText;
  Table holdings;
  Table transactions;
  Counts counts;
};

Files Make(const Sizes& sizes, uint64_t seed = 1) {
  StringWriter writer;
  Files files;
  files.counts = kx::gen::Generate(sizes, seed, writer);
  files.holdingsText = writer.holdings;
  files.transactionsText = writer.transactions;
  files.holdings = Parse(writer.holdings, "BESTAND.txt");
  // TRANSAKT.txt maps columns 1 to 22, DBSTARTIDS.txt the two start ids.
  files.transactions = Parse(writer.transactions, "TRANSAKT.txt");
  for (const auto& [name, position] : ReadMap("DBSTARTIDS.txt")) files.transactions.map[name] = position;
  return files;
}

Sizes Small() {
  Sizes sizes;
  sizes.customers = 12;
  sizes.unassignedDepots = 3;
  return sizes;
}

bool Accepted(const std::string& code) { return code.size() == 1 && code[0] >= '1' && code[0] <= '8'; }
bool IsNull(const std::string& value) { return value.empty() || value == "Null"; }

std::string DepotKey(const Table& t, const std::vector<std::string>& row) {
  return t.Get(row, "DEPSTNR") + "|" + t.Get(row, "DEPKTOART") + "|" + t.Get(row, "DEPUNTERKTO");
}

// The position key of the import document: the ISIN, or the WKN where there is none.
std::string PositionKey(const Table& t, const std::vector<std::string>& row) {
  const std::string& isin = t.Get(row, "FONISIN");
  return DepotKey(t, row) + "|" + (IsNull(isin) ? t.Get(row, "FONWKNEXT") : isin);
}

// The one table of staging columns (inserts, check, kxgen's headers) against the schema script.
TEST(StagingColumns, EveryColumnIsInTheSchemasTable) {
  const std::vector<std::pair<std::string, std::span<const std::string_view>>> tables = {
      {"BESTAENDE", kx::staging_columns::kBestaende},
      {"TRANSAKTIONEN", kx::staging_columns::kTransaktionen},
      {"DBSTARTIDS", kx::staging_columns::kDbStartIds}};
  for (const auto& [table, columns] : tables) {
    const std::map<std::string, Column> schema = ReadSchema(table);
    for (const std::string_view column : columns)
      EXPECT_EQ(schema.count(std::string(column)), 1u) << table << "." << column;
  }
}

TEST(KxGen, SameSeedGivesSameBytesOtherSeedOthers) {
  const Files first = Make(Small(), 7);
  const Files again = Make(Small(), 7);
  const Files other = Make(Small(), 8);
  EXPECT_EQ(first.holdingsText, again.holdingsText);
  EXPECT_EQ(first.transactionsText, again.transactionsText);
  EXPECT_NE(first.holdingsText, other.holdingsText);
  EXPECT_NE(first.transactionsText, other.transactionsText);
}

TEST(KxGen, RecordsHaveTheMappedFieldsUnderTheHeader) {
  Sizes sizes = Small();
  sizes.overlong = true;
  sizes.duplicateTraid = true;
  const Files files = Make(sizes);
  for (const Table* table : {&files.holdings, &files.transactions}) {
    const std::size_t width =
        table == &files.holdings ? kx::gen::kHoldingsColumns : kx::gen::kTransactionColumns;
    ASSERT_EQ(table->map.size(), width);
    ASSERT_EQ(table->header.size(), width);
    for (const auto& [name, position] : table->map) EXPECT_EQ(table->header[position - 1], name);
    for (std::size_t i = 0; i < table->rows.size(); ++i)
      ASSERT_EQ(table->rows[i].size(), width) << "record " << i + 1;
  }
}

TEST(KxGen, CountsAreWhatTheFilesContain) {
  Sizes sizes = Small();
  sizes.duplicateTraid = true;
  const Files files = Make(sizes);
  const Table& h = files.holdings;
  const Table& t = files.transactions;

  Counts seen;
  std::set<std::string> customers, customerRows, holdingDepots, depots, positions, traids, withTransactions;
  for (const auto& row : h.rows) {
    ++seen.holdingsRows;
    customers.insert(h.Get(row, "INHKDNR1"));
    customerRows.insert(h.Get(row, "VERBERNR") + "|" + h.Get(row, "INHKDNR1"));
    holdingDepots.insert(DepotKey(h, row));
    depots.insert(DepotKey(h, row));
    positions.insert(PositionKey(h, row));
    if (h.Get(row, "HAS_TRANS") == "0") ++seen.holdingsWithoutTransactions;
  }
  for (const auto& row : t.rows) {
    ++seen.transactionRows;
    depots.insert(DepotKey(t, row));
    positions.insert(PositionKey(t, row));
    if (!Accepted(t.Get(row, "TRATYPKZ"))) continue;
    ++seen.acceptedTransactionRows;
    withTransactions.insert(PositionKey(t, row));
    if (!traids.insert(t.Get(row, "TRAID")).second) ++seen.duplicateTraids;
  }
  for (const auto& depot : depots) seen.unassignedDepots += holdingDepots.count(depot) ? 0 : 1;

  EXPECT_EQ(seen.holdingsRows, files.counts.holdingsRows);
  EXPECT_EQ(seen.holdingsWithoutTransactions, files.counts.holdingsWithoutTransactions);
  EXPECT_EQ(seen.transactionRows, files.counts.transactionRows);
  EXPECT_EQ(seen.acceptedTransactionRows, files.counts.acceptedTransactionRows);
  EXPECT_EQ(seen.duplicateTraids, 1u);
  EXPECT_EQ(files.counts.duplicateTraids, 1u);
  EXPECT_EQ(customers.size(), files.counts.customers);
  EXPECT_EQ(customerRows.size(), files.counts.customerRows);
  EXPECT_EQ(depots.size(), files.counts.depots);
  EXPECT_EQ(seen.unassignedDepots, files.counts.unassignedDepots);
  EXPECT_EQ(positions.size(), files.counts.positions);
  EXPECT_EQ(kx::gen::Count(sizes, 1).transactionRows, files.counts.transactionRows);

  // HAS_TRANS says whether the transactions file has lines the load keeps for the holding.
  for (const auto& row : h.rows) {
    const std::string& flag = h.Get(row, "HAS_TRANS");
    const bool has = withTransactions.count(PositionKey(h, row)) > 0;
    if (flag != "Null") {
      EXPECT_EQ(has, flag == "1") << PositionKey(h, row) << " HAS_TRANS " << flag;
    }
  }
}

TEST(KxGen, TotalsFollowTheMeans) {
  Sizes sizes;
  sizes.customers = 40;
  sizes.depotsPerCustomer = 2.5;
  sizes.positionsPerDepot = 4;
  sizes.transactionsPerPosition = 10;
  sizes.unassignedDepots = 0;
  const Files files = Make(sizes, 3);
  EXPECT_EQ(files.counts.depots, 100u);
  EXPECT_EQ(files.counts.holdingsRows, 400u);
  EXPECT_EQ(files.counts.transactionRows, 4000u);
}

bool ValidDate(const std::string& text) {
  if (text.size() != 8 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const int year = std::stoi(text.substr(0, 4)), month = std::stoi(text.substr(4, 2)),
            day = std::stoi(text.substr(6));
  const int lengths[] = {
      31, year % 4 == 0 && (year % 100 != 0 || year % 400 == 0) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30,
      31};
  return month >= 1 && month <= 12 && day >= 1 && day <= lengths[month - 1];
}

// A case the generated rows must reach: its name and whether a row shows it.
using Case = std::pair<const char*, std::function<bool(const Row&)>>;

void ExpectEveryCaseReached(const std::vector<Row>& rows, const std::vector<Case>& cases) {
  for (const auto& [name, shows] : cases) EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), shows)) << name;
}

TEST(KxGen, TransactionsReachEveryTypeCodeAndValueBranch) {
  Sizes sizes = Small();
  sizes.customers = 30;
  const Files files = Make(sizes);
  const Table& t = files.transactions;
  std::set<std::string> codes;
  std::vector<Row> accepted;
  for (const auto& row : t.rows) {
    codes.insert(t.Get(row, "TRATYPKZ"));
    if (Accepted(t.Get(row, "TRATYPKZ"))) accepted.push_back(row);
  }
  for (const std::string code : {"1", "2", "3", "4", "5", "6", "7", "8", "0", "9", "x", ""}) {
    EXPECT_TRUE(codes.count(code)) << "type code '" << code << "'";
  }
  const double rejected = 1.0 - static_cast<double>(accepted.size()) / static_cast<double>(t.rows.size());
  EXPECT_GT(rejected, 0.01);
  EXPECT_LT(rejected, 0.10);

  auto v = [&t](const Row& r, const char* column) -> const std::string& { return t.Get(r, column); };
  auto number = [&v](const Row& r, const char* column) {
    return IsNull(v(r, column)) ? 0 : std::stod(v(r, column));
  };
  auto charged = [&v](const Row& r) { return v(r, "TRATYPKZ") == "1" || v(r, "TRATYPKZ") == "8"; };
  auto noFee = [&v](const Row& r) { return IsNull(v(r, "FONAUSGABE")) || IsNull(v(r, "TRABONPZ")); };
  auto fee = [&number](const Row& r) { return number(r, "FONAUSGABE") * (100 - number(r, "TRABONPZ")); };
  auto numericId = [&v](const Row& r) {
    return v(r, "TRAID").find_first_not_of("0123456789") == std::string::npos && v(r, "TRAID")[0] == '0';
  };
  const std::vector<Case> cases = {
      {"price status 21",
       [&](const Row& r) { return number(r, "FONRPREIS") == 0 && number(r, "FONPREIS") > 0; }},
      {"no price", [&](const Row& r) { return number(r, "FONRPREIS") == 0 && number(r, "FONPREIS") <= 0; }},
      {"unknown price date", [&](const Row& r) { return !ValidDate(v(r, "FONPREISDAT")); }},
      {"zero shares", [&](const Row& r) { return v(r, "TRASTK") == "0" || v(r, "TRASTK") == "0.000"; }},
      {"amount only", [&](const Row& r) { return IsNull(v(r, "TRASTK")); }},
      {"exchange rate",
       [&](const Row& r) {
         return v(r, "TRABETRAG") != v(r, "TRABETRAGEUR") && v(r, "TRABETRAG")[0] != '-';
       }},
      {"no fee", [&](const Row& r) { return charged(r) && noFee(r); }},
      {"fee zero", [&](const Row& r) { return charged(r) && !noFee(r) && fee(r) <= 0; }},
      {"fee", [&](const Row& r) { return charged(r) && !noFee(r) && fee(r) > 0; }},
      {"numeric id", numericId},
      {"text id", [&](const Row& r) { return !numericId(r); }},
  };
  ExpectEveryCaseReached(accepted, cases);
}

TEST(KxGen, HoldingsCarryTheCasesOfTheDocument) {
  const Files files = Make(Small());
  const Table& h = files.holdings;
  auto v = [&h](const Row& r, const char* column) -> const std::string& { return h.Get(r, column); };
  auto is = [&v](const char* column, std::string value) {
    return [&v, column, value](const Row& r) { return v(r, column) == value; };
  };
  auto null = [&v](const char* column) {
    return [&v, column](const Row& r) { return IsNull(v(r, column)); };
  };
  auto name = [&v](const Row& r) -> const std::string& { return v(r, "FONNAMELANG"); };
  const std::vector<Case> cases = {
      {"HAS_TRANS 0", is("HAS_TRANS", "0")},
      {"HAS_TRANS 1", is("HAS_TRANS", "1")},
      {"HAS_TRANS Null", is("HAS_TRANS", "Null")},
      {"name with ; and \"",
       [&](const Row& r) { return name(r).find(';') != name(r).npos && name(r).find('"') != name(r).npos; }},
      {"name beginning with a quote", [&](const Row& r) { return name(r).rfind('"', 0) == 0; }},
      {"no ISIN", null("FONISIN")},
      {"account type Null", is("DEPKTOART", "Null")},
      {"sub-account Null", is("DEPUNTERKTO", "Null")},
      {"no second holder", null("INHKDNR2")},
      {"second holder", [&](const Row& r) { return !IsNull(v(r, "INHKDNR2")); }},
      {"second holder Null", is("INHKDNR2", "Null")},
      {"other gender", [&](const Row& r) { return v(r, "INHGESCH1") != "M" && v(r, "INHGESCH1") != "W"; }},
      {"unknown birth date", [&](const Row& r) { return !ValidDate(v(r, "INHGEBTAG1")); }},
      {"shares Null", null("BESTSTK")},
      {"price Null", null("FONRUECKPREIS")},
      {"exchange rate Null", null("DEVKURS")},
      {"foreign currency", [&](const Row& r) { return v(r, "FONWAEHR") != "EUR"; }},
  };
  ExpectEveryCaseReached(h.rows, cases);
  std::map<std::string, std::set<std::string>> typesOfNumber;
  for (const auto& row : h.rows)
    typesOfNumber[v(row, "DEPSTNR")].insert(v(row, "DEPKTOART") + "|" + v(row, "DEPUNTERKTO"));
  EXPECT_TRUE(std::any_of(typesOfNumber.begin(), typesOfNumber.end(), [](const auto& n) {
    return n.second.size() > 1;
  })) << "depot number with two account types";
  for (const std::string_view letter : {"ä"_cp1252, "ö"_cp1252, "ü"_cp1252, "ß"_cp1252}) {
    EXPECT_NE(files.holdingsText.find(letter), std::string::npos) << kx::Cp1252ToUtf8(letter);
  }
  EXPECT_GT(files.counts.customerRows, files.counts.customers) << "a customer under two advisor numbers";
}

TEST(KxGen, ValuesFitTheStagingColumnsExceptTheOverlongOnes) {
  for (const bool overlong : {false, true}) {
    Sizes sizes = Small();
    sizes.overlong = overlong;
    const Files files = Make(sizes);
    std::set<std::string> tooLong;
    const std::regex wholeNumber(R"(-?\d+)"), decimal(R"(-?\d+(\.\d+)?)");
    for (const auto& [table, name] :
         {std::pair{&files.holdings, "BESTAENDE"}, {&files.transactions, "TRANSAKTIONEN"}}) {
      const auto schema = ReadSchema(name);
      for (const auto& row : table->rows) {
        // Lines with a rejected type code never reach the table.
        if (table == &files.transactions && !Accepted(table->Get(row, "TRATYPKZ"))) continue;
        for (const auto& [column, position] : table->map) {
          if (!schema.count(column)) continue;  // the start ids belong to DBSTARTIDS
          const Column& type = schema.at(column);
          const std::string& value = row[position - 1];
          if (value == "Null") continue;
          if (type.type == "VARCHAR") {
            if (value.size() > type.length) tooLong.insert(column + " " + std::to_string(value.size()));
          } else if (!value.empty()) {
            EXPECT_TRUE(std::regex_match(value, type.type == "DOUBLE" ? decimal : wholeNumber))
                << column << " = '" << value << "'";
          }
        }
      }
    }
    const std::set<std::string> expected =
        overlong ? std::set<std::string>{"INHNACHNAME1 70", "FONISIN 25"} : std::set<std::string>{};
    EXPECT_EQ(tooLong, expected) << (overlong ? "with" : "without") << " --overlong";
  }
}

TEST(KxGen, FilesAreWindows1252) {
  const Files files = Make(Small());
  for (const std::string* text : {&files.holdingsText, &files.transactionsText}) {
    for (std::size_t i = 0; i < text->size(); ++i) {
      const auto c = static_cast<unsigned char>((*text)[i]);
      ASSERT_NE(c, 0) << "zero byte at " << i;
      for (const unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        ASSERT_NE(c, undefined) << "at " << i;
      // A UTF-8 lead byte followed by a continuation byte would be UTF-8 text.
      if (c >= 0xC2 && c <= 0xF4 && i + 1 < text->size()) {
        const auto next = static_cast<unsigned char>((*text)[i + 1]);
        ASSERT_FALSE(next >= 0x80 && next <= 0xBF) << "UTF-8 sequence at " << i;
      }
    }
  }
}

TEST(KxGen, EveryTransactionLineCarriesTheStartIds) {
  Sizes given = Small();
  given.startIds = {{"4711", ""}};
  for (const Sizes& sizes : {Small(), given}) {
    const Files files = Make(sizes, 5);
    const auto expected = sizes.startIds ? *sizes.startIds : kx::gen::DefaultStartIds(5);
    EXPECT_FALSE(expected.first.empty());
    for (const auto& row : files.transactions.rows) {
      ASSERT_EQ(files.transactions.Get(row, "STARTID1"), expected.first);
      ASSERT_EQ(files.transactions.Get(row, "STARTID2"), expected.second);
    }
  }
}

TEST(KxGen, TraidsAreUniqueAndDatesRiseWithinAPosition) {
  const Files files = Make(Small());
  const Table& t = files.transactions;
  std::set<std::string> traids;
  std::map<std::string, std::string> lastDate;
  for (const auto& row : t.rows) {
    EXPECT_TRUE(traids.insert(t.Get(row, "TRAID")).second) << t.Get(row, "TRAID");
    const std::string& date = t.Get(row, "TRADAT");
    ASSERT_TRUE(ValidDate(date)) << date;
    std::string& last = lastDate[PositionKey(t, row)];
    EXPECT_LT(last, date) << PositionKey(t, row);
    last = date;
  }
}

// Runs kxgen; returns its exit status and standard output.
int RunProgram(const std::string& arguments, std::string& output) {
  const std::string command = std::string(KXGEN_PATH) + " " + arguments + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(KxGen, ProgramWritesWhatTheLibraryGenerates) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("kxgen_test_" + std::to_string(getpid())) / "new";
  std::string summary;
  ASSERT_EQ(RunProgram("--out " + dir.string() +
                           " --seed 9 --customers 7 --depots-per-customer 1.5 --positions-per-depot 2"
                           " --transactions-per-position 3 --unassigned-depots 1 --start-ids 12,34"
                           " --duplicate-traid --overlong --summary",
                       summary),
            0);
  Sizes sizes;
  sizes.customers = 7;
  sizes.depotsPerCustomer = 1.5;
  sizes.positionsPerDepot = 2;
  sizes.transactionsPerPosition = 3;
  sizes.unassignedDepots = 1;
  sizes.startIds = {{"12", "34"}};
  sizes.duplicateTraid = true;
  sizes.overlong = true;
  const Files files = Make(sizes, 9);
  EXPECT_EQ(ReadFile(dir / "bestandsdaten.csv"), files.holdingsText);
  EXPECT_EQ(ReadFile(dir / "transaktionsdaten.csv"), files.transactionsText);
  EXPECT_EQ(summary, kx::gen::SummaryText(files.counts));
  EXPECT_NE(summary.find("transaction_rows=" + std::to_string(files.counts.transactionRows) + "\n"),
            std::string::npos);

  std::string ignored;
  EXPECT_EQ(RunProgram("--customers 3", ignored), 2) << "no --out";
  EXPECT_EQ(RunProgram("--out " + dir.string() + " --customers three", ignored), 2);
  EXPECT_EQ(RunProgram("--out " + dir.string() + " --depots-per-customer 0.5", ignored), 1);
  std::filesystem::remove_all(dir.parent_path());
}

}  // namespace
