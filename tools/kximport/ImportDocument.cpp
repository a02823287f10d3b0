#include "kximport/ImportDocument.h"

#include <expat.h>

#include <array>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "Language.h"
#include "util/Cp1252.h"

namespace kximport {
namespace {

using kx::tools::Say;

constexpr std::size_t kChunk = std::size_t{64} * 1024;

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

// The document's elements as expat reports them: the counts (a balance entry by its mode), and the text of
// each PARAM directly inside the header's I_CustomData (Import/I_CustomData/PARAM, Import the document
// element's first child of that name).
class FactsCollector {
 public:
  explicit FactsCollector(XML_Parser parser) {
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, &FactsCollector::Start, &FactsCollector::End);
    XML_SetCharacterDataHandler(parser, &FactsCollector::Text);
  }

  DocumentFacts facts;
  std::vector<std::string> params;  // UTF-8, as expat gives them

 private:
  static void XMLCALL Start(void* self, const XML_Char* name, const XML_Char** /*attributes*/) {
    auto& c = *static_cast<FactsCollector*>(self);
    const std::string_view element(name);
    c.path_.emplace_back(element);
    if (c.path_.size() == 2 && element == "Import") ++c.headers_;
    if (element == "Kundendaten") ++c.facts.customers;
    if (element == "Depot") ++c.facts.depots;
    if (element == "DepotWert") ++c.facts.positions;
    if (element == "DepotTrans") ++c.facts.transactions;
    c.inParam_ = c.IsHeaderParam();
    if (c.inParam_) c.params.emplace_back();
    c.inMode_ = element == "DT_Mode" && c.path_.size() >= 2 && c.path_[c.path_.size() - 2] == "DepotTrans";
    c.mode_.clear();
  }
  static void XMLCALL End(void* self, const XML_Char* /*name*/) {
    auto& c = *static_cast<FactsCollector*>(self);
    if (c.inMode_ && c.mode_ == "B") ++c.facts.balances;
    c.path_.pop_back();
    c.inParam_ = false;
    c.inMode_ = false;
  }
  static void XMLCALL Text(void* self, const XML_Char* text, int length) {
    auto& c = *static_cast<FactsCollector*>(self);
    if (c.inParam_) c.params.back().append(text, static_cast<std::size_t>(length));
    if (c.inMode_) c.mode_.append(text, static_cast<std::size_t>(length));
  }

  bool IsHeaderParam() const {
    constexpr std::array<std::string_view, 3> kHeaderParam = {"Import", "I_CustomData", "PARAM"};
    if (headers_ != 1 || path_.size() != kHeaderParam.size() + 1) return false;
    for (std::size_t i = 0; i < kHeaderParam.size(); ++i) {
      if (path_[i + 1] != kHeaderParam[i]) return false;
    }
    return true;
  }

  std::vector<std::string> path_;  // the open elements, the document element first
  int headers_ = 0;                // Import elements seen below the document element
  bool inParam_ = false;
  bool inMode_ = false;  // in a DepotTrans's own DT_Mode, whose text is mode_
  std::string mode_;
};

// A start id in the library's Windows-1252; a character that has no byte there cannot be one.
std::string StartId(const std::string& path, std::string_view utf8) {
  std::string id = kx::Utf8ToCp1252(utf8);
  if (kx::Cp1252ToUtf8(id) != utf8) {
    throw std::runtime_error(path + Say(": eine Start-ID enthält ein Zeichen außerhalb von Windows-1252",
                                        ": a start id holds a character outside Windows-1252"));
  }
  return id;
}

}  // namespace

DocumentFacts ReadDocument(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(Say(path + " nicht lesbar", "cannot read " + path));
  const std::unique_ptr<XML_ParserStruct, ParserFree> parser(XML_ParserCreate(nullptr));
  if (!parser) throw std::bad_alloc();
  FactsCollector collector(parser.get());
  bool last = false;
  while (!last) {
    void* buffer = XML_GetBuffer(parser.get(), kChunk);
    if (buffer == nullptr) throw std::bad_alloc();
    in.read(static_cast<char*>(buffer), kChunk);
    const std::streamsize got = in.gcount();
    if (in.bad()) throw std::runtime_error(Say(path + " nicht lesbar", "cannot read " + path));
    last = in.eof();
    collector.facts.bytes += got;
    if (XML_ParseBuffer(parser.get(), static_cast<int>(got), last ? 1 : 0) != XML_STATUS_OK) {
      throw std::runtime_error(
          path + ":" + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ":" +
          std::to_string(XML_GetCurrentColumnNumber(parser.get()) + 1) +
          Say(": kein wohlgeformtes Importdokument: ", ": not a well-formed import document: ") +
          XML_ErrorString(XML_GetErrorCode(parser.get())));
    }
  }
  DocumentFacts facts = collector.facts;
  for (const std::string& param : collector.params) {
    constexpr std::string_view kId1 = "startid1=";
    constexpr std::string_view kId2 = "startid2=";
    if (param.starts_with(kId1)) facts.startId1 = StartId(path, std::string_view(param).substr(kId1.size()));
    if (param.starts_with(kId2)) facts.startId2 = StartId(path, std::string_view(param).substr(kId2.size()));
  }
  return facts;
}

}  // namespace kximport
