// The document's faster queries against the named ones (and the depot's transactions kept in
// memory against a query per position): random staging data, both ways, the same bytes. The data are small
// and dense on purpose, so that depots share numbers, account types and positions in every way the joins can
// meet them.
#include <algorithm>
#include <random>

#include "DocumentTest.h"

namespace kx::documenttest {
namespace {

class RandomDelivery {
 public:
  // Every other seed leaves out the ISIN that ends in a blank, with which the positions are always
  // left to the position query.
  explicit RandomDelivery(unsigned seed) : random_(seed), blankEndedIsin_(seed % 2 == 1) {}

  std::string Pick(const std::vector<std::string>& values) {
    return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random_)];
  }
  int Number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // Depot numbers, account types (Null among them) and sub-accounts from small sets, so that
  // twins and NULL matches occur; positions by ISIN, by WKN alone, or with neither.
  void Fill(std::vector<ProviderLine>& holdings, std::vector<ProviderLine>& transactions) {
    const std::vector<std::string> depots = {"4711", "4712", "0815", "9000"};
    // "FO X" is cut to "FO ", which the database holds equal to "FO".
    const std::vector<std::string> types = {"FO", "FO", "VL", "Null", "X", "FO X"};
    const std::vector<std::string> subAccounts = {"Null", "Null", "01", "02"};
    // The last and the one added for odd seeds are one ISIN to the database: the added one is cut to
    // its column's 20 characters and ends in a blank then.
    std::vector<std::string> isins = {"DE0001234567", "LU0000000001",       "IE00B4L5Y983", "Null", "",
                                      "de0001234567", "LU00000000000000000"};
    if (blankEndedIsin_) isins.push_back("LU00000000000000000 X");
    const std::vector<std::string> wkns = {"A0B1C2", "847402", "Null"};
    const std::vector<std::string> names = {"Rentenfonds",
                                            "Aktien \xDC"
                                            "bersee",
                                            "Null", "Geldmarkt"};
    const std::vector<std::string> customers = {"1001", "1002", "1003", "1004", "1005", "Null", "-7"};
    // A customer with two advisor numbers comes twice.
    const std::vector<std::string> advisors = {"4711", "4711", "4711", "31"};
    const std::vector<std::string> surnames = {"M\xFCller", "Gro\xDF", "Null", "\xD6zt\xFCrk", "\xC4hnlich"};
    const std::vector<std::string> shares = {"10", "0", "Null", "12.345", "10"};
    for (int i = Number(0, 40); i > 0; --i) {
      holdings.push_back(Holding()
                             .Set("DEPSTNR", Pick(depots))
                             .Set("DEPKTOART", Pick(types))
                             .Set("DEPUNTERKTO", Pick(subAccounts))
                             .Set("INHKDNR1", Pick(customers))
                             .Set("VERBERNR", Pick(advisors))
                             .Set("INHNACHNAME1", Pick(surnames))
                             .Set("FONISIN", Pick(isins))
                             .Set("FONWKNEXT", Pick(wkns))
                             .Set("FONNAMELANG", Pick(names))
                             .Set("BESTSTK", Pick(shares))
                             .Set("HAS_TRANS", Number(0, 1) == 0 ? "0" : "1"));
    }
    for (int i = Number(0, 80); i > 0; --i) {
      // Few dates, so that many transactions of one position share their date.
      transactions.push_back(Transaction(std::to_string(100000 + i))
                                 .Set("DEPSTNR", Pick(depots))
                                 .Set("DEPKTOART", Pick(types))
                                 .Set("DEPUNTERKTO", Pick(subAccounts))
                                 .Set("FONISIN", Pick(isins))
                                 .Set("FONWKNEXT", Pick(wkns))
                                 .Set("TRATYPKZ", std::to_string(Number(1, 9)))
                                 .Set("TRADAT", Pick({"20240301", "20240301", "20240415", "Null"}))
                                 .Set("TRASTK", Pick(shares)));
    }
  }

 private:
  std::mt19937 random_;
  bool blankEndedIsin_;
};

class FastQueriesTest : public DocumentTest {};

TEST_F(FastQueriesTest, WriteTheSameDocumentAsTheNamedQueries) {
  int withPositions = 0;
  int withRepeatedCustomer = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    holdings.clear();
    transactions.clear();
    RandomDelivery delivery(seed);
    delivery.Fill(holdings, transactions);
    args.LastImport = seed % 4 == 0 ? EncodeDate(2024, 1, 1) : 0;
    // Both ways on the same loaded tables: transactions of one date come in the order the
    // engine stored them, which a second load may change.
    Generate();
    const int32_t referenceResult = RewriteDocument(DocumentQueries::Reference);
    const std::string reference = document;
    EXPECT_EQ(RewriteDocument(DocumentQueries::Fast), referenceResult) << "seed " << seed;
    ASSERT_EQ(document, reference) << "seed " << seed;
    // Depots with more transactions than are kept in memory are read position by position.
    EXPECT_EQ(RewriteDocument(DocumentQueries::Fast, 2), referenceResult) << "seed " << seed;
    ASSERT_EQ(document, reference) << "seed " << seed << ", two rows kept";
    if (!PositionsWithKey(reference, "DE0001234567").empty()) ++withPositions;
    std::vector<std::string> refs = Elements(reference, "K_ExtRef");
    std::sort(refs.begin(), refs.end());
    if (std::adjacent_find(refs.begin(), refs.end()) != refs.end()) ++withRepeatedCustomer;
  }
  EXPECT_GT(withPositions, 20);  // the cases reached the positions, not only empty documents
  EXPECT_GT(withRepeatedCustomer, 5);
}

}  // namespace
}  // namespace kx::documenttest
