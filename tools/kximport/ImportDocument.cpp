#include "kximport/ImportDocument.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace kximport {
namespace {

int64_t Occurrences(std::string_view text, std::string_view tag) {
  int64_t n = 0;
  for (std::size_t p = text.find(tag); p != std::string_view::npos; p = text.find(tag, p + tag.size())) ++n;
  return n;
}

// Element text back to its bytes: the five entities and numeric character references.
std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    const std::size_t end = text.find(';', i);
    if (end == std::string_view::npos) {
      out += text.substr(i);
      break;
    }
    const std::string_view entity = text.substr(i + 1, end - i - 1);
    if (entity == "lt")
      out += '<';
    else if (entity == "gt")
      out += '>';
    else if (entity == "amp")
      out += '&';
    else if (entity == "apos")
      out += '\'';
    else if (entity == "quot")
      out += '"';
    else if (entity.size() > 1 && entity[0] == '#')
      out += static_cast<char>(std::stoi(std::string(entity.substr(1))));
    i = end;
  }
  return out;
}

}  // namespace

DocumentFacts ReadDocument(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DocumentFacts facts;
  facts.bytes = static_cast<int64_t>(text.size());
  facts.customers = Occurrences(text, "<Kundendaten>");
  facts.depots = Occurrences(text, "<Depot>");
  facts.positions = Occurrences(text, "<DepotWert>");
  facts.transactions = Occurrences(text, "<DepotTrans>");

  const std::size_t header = text.find("<Import>");
  const std::size_t headerEnd = text.find("</Import>");
  if (header == std::string::npos || headerEnd == std::string::npos) return facts;
  const std::string_view importElement = std::string_view(text).substr(header, headerEnd - header);
  constexpr std::string_view kOpen = "<PARAM>";
  for (std::size_t p = importElement.find(kOpen); p != std::string_view::npos;
       p = importElement.find(kOpen, p + 1)) {
    const std::size_t end = importElement.find("</PARAM>", p);
    if (end == std::string_view::npos) break;
    const std::string param = Unescape(importElement.substr(p + kOpen.size(), end - p - kOpen.size()));
    if (param.rfind("startid1=", 0) == 0) facts.startId1 = param.substr(9);
    if (param.rfind("startid2=", 0) == 0) facts.startId2 = param.substr(9);
  }
  return facts;
}

}  // namespace kximport
