// The document as a whole, its header, and the customers with person, contacts and address.
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/platform.h"
#include "staging/ImpApi_Korvalix_XMLgen.h"
#include "staging/ImpApi_Korvalix_XMLgen_Queries.h"
#include "util/ProviderIdentity.h"
#include "util/ResultCodes.h"
#include "util/Rounding.h"
#include "util/ScopeExit.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

// A customer number as the document tests it: a whole number, 0 when it is none.
int64_t CustomerNumber(std::string_view text) { return WholeNumberOf<int64_t>(text).value_or(0); }

}  // namespace

int32_t TXML_Gen::WriteImportFile(const std::string& outputDir) {
  const std::string path = outputDir + kPathDelimiter + "KORVALIX.XML";
  context_.Progress.Send(KX_PROGRESS_STATUS, 70, "Erstelle XML-Datei: " + path);
  context_.Clock.PumpMessages();

  // The document step replaces an earlier document, so a failure from here on leaves none that a
  // host could import again; the new one appears under its name only when it is complete.
  RemoveFileIfExists(path);
  AtomicFileStream file(path);
  TXMLStreamWriter writer(file, true);
  writer.NeutralFormats = true;
  writer.Regional = context_.Regional.Formats();
  writer.SetBufferSize(65535);
  writer.Reset();
  writer_ = &writer;
  queries_ = std::make_unique<Queries>(*IBTransaction1, QuerySet);
  const ScopeExit done([this]() noexcept {
    depotRows_.reset();
    depotHoldings_.reset();
    queries_.reset();
    writer_ = nullptr;
  });

  writer.WriteTag("XML", TXMLWriter::tkOpen);
  WriteImportHeader(AdvisorRef);
  const int64_t customers = WriteCustomers();
  const int32_t result = (LastImport == 0 && customers == 0) ? kNoCustomersOnFirstImport : 0;
  if (LastImport > 0) WriteUnassignedDepots();
  writer.WriteTag("XML", TXMLWriter::tkClose);
  writer.Flush();
  file.Commit();
  return result;
}

void TXML_Gen::WriteImportHeader(const std::string& advisorRef) {
  TXMLWriter& w = Writer();
  w.WriteTag("Import", TXMLWriter::tkOpen);
  w.WriteElement("I_Herkunft", kProviderName);
  w.WriteElement("I_ImportVersion", kImportVersion);
  w.WriteElement("I_BeraterRef", advisorRef);
  w.WriteElement("I_Datum", TXMLWriter::FormatIsoDate(ImportDate));
  if (ClearReimport) w.WriteElement("I_Reimport", "clear");

  db::Statement& ids = queries_->dsDBstartids;
  std::string startId1;
  std::string startId2;
  {
    const QueryCloser closer(ids);
    ids.Open();
    if (ids.Fetch()) {
      startId1 = ids.CurrentRow().AsText("STARTID1");
      startId2 = ids.CurrentRow().AsText("STARTID2");
    }
  }
  if (!startId1.empty() || !startId2.empty()) {
    w.WriteTag("I_CustomData", TXMLWriter::tkOpen);
    if (!startId1.empty()) w.WriteElement("PARAM", "startid1=" + startId1);
    if (!startId2.empty()) w.WriteElement("PARAM", "startid2=" + startId2);
    w.WriteTag("I_CustomData", TXMLWriter::tkClose);
  }
  w.WriteTag("Import", TXMLWriter::tkClose);
}

int64_t TXML_Gen::WriteCustomers() {
  // All customer rows first: the count drives the progress values.
  std::vector<std::string> customers;
  {
    db::Statement& q = queries_->qKundenVerm;
    const QueryCloser closer(q);
    q.Open();
    while (q.Fetch()) customers.push_back(q.CurrentRow().AsText(1));
  }
  // The fast way reads every customer's person and depot rows in one query each, in step with
  // the customers, instead of two queries per customer (a round trip each through a server).
  std::optional<KeyedRows> persons;
  std::optional<KeyedRows> depots;
  if (QuerySet == DocumentQueries::Fast) {
    persons.emplace(queries_->qKdPersonAll).Open();
    depots.emplace(queries_->qKdDepotsAll).Open();
  }
  personRows_ = persons ? &*persons : nullptr;
  customerDepotRows_ = depots ? &*depots : nullptr;
  customerDepotsOf_.reset();
  const ScopeExit forget([this] { personRows_ = customerDepotRows_ = nullptr; });

  const auto total = static_cast<double>(customers.size());
  int64_t count = 0;
  for (const std::string& customer : customers) {
    CustomerNo = customer;
    if (const int64_t number = CustomerNumber(CustomerNo); number != 0) {
      TXMLWriter& w = Writer();
      w.WriteTag("Kundendaten", TXMLWriter::tkOpen);
      WriteCustomerRef();
      WriteDepotAdmin();
      if (personRows_ != nullptr) {
        hasPerson_ = personRows_->SeekTo(number);
        WritePerson();
        WriteAddress();
      } else {
        db::Statement& person = queries_->qKdPerson1;
        const QueryCloser closer(person);
        person.SetText("parINHKDNR1", CustomerNo);
        person.Open();
        hasPerson_ = person.Fetch();
        WritePerson();
        WriteAddress();
      }
      w.WriteTag("Kundendaten", TXMLWriter::tkClose);
    }
    ++count;
    const auto value = static_cast<int32_t>(RoundHalfEven(static_cast<double>(count) * 25.0 / total + 70.0));
    context_.Progress.Send(KX_PROGRESS_POSITION, value, "");
    context_.Clock.PumpMessages();
  }
  return count;
}

void TXML_Gen::WriteCustomerRef() {
  TXMLWriter& w = Writer();
  w.WriteTag("Kunde", TXMLWriter::tkOpen);
  w.WriteElement("K_BeraterKennung", AdvisorRef);
  w.WriteElement("K_ExtRef", CustomerNo);
  w.WriteTag("Kunde", TXMLWriter::tkClose);
}

std::string TXML_Gen::PersonText(std::string_view column) const {
  if (!hasPerson_) return std::string();
  return personRows_ != nullptr ? personRows_->Row().AsText(column)
                                : queries_->qKdPerson1.CurrentRow().AsText(column);
}

void TXML_Gen::WritePerson() {
  const std::string genderCode = PersonText("INHGESCH1");
  const std::string gender = (genderCode == "M" || genderCode == "W") ? genderCode : std::string();
  TXMLWriter& w = Writer();
  w.WriteTag("Person", TXMLWriter::tkOpen);
  w.WriteIntElement("P_PersonNr", 1);
  w.WriteElement("P_PersonArt", "V");
  w.WriteDateElement("P_GeburtsDatum", ParseProviderDate(PersonText("INHGEBTAG1")));
  w.WriteElement("P_Geschlecht", gender);
  w.WriteElement("P_Anrede", PersonText("INHANREDE1"));
  w.WriteElement("P_Vorname", PersonText("INHVORNAME1"));
  w.WriteElement("P_Nachname", PersonText("INHNACHNAME1"));
  w.WriteElement("P_Titel", PersonText("INHTITELTXT1"));
  WriteCustomerDepots();
  WriteContacts();
  w.WriteTag("Person", TXMLWriter::tkClose);
}

void TXML_Gen::WriteContacts() {
  TXMLWriter& w = Writer();
  auto contact = [&w](std::string_view kind, bool isPrivate, const std::string& number) {
    if (number.empty()) return;
    w.WriteTag("TeleKontakt", TXMLWriter::tkOpen);
    w.WriteElement("TK_Art", kind);
    if (isPrivate) w.WriteElement("Privat", "JA");
    w.WriteElement("TK_Nummer", number);
    w.WriteTag("TeleKontakt", TXMLWriter::tkClose);
  };
  contact("TEL", true, PersonText("INHTEL1"));
  contact("FAX", false, PersonText("INHFAX1"));
  contact("EMAIL", false, PersonText("INHEMAIL1"));
}

void TXML_Gen::WriteAddress() {
  TXMLWriter& w = Writer();
  w.WriteTag("Anschrift", TXMLWriter::tkOpen);
  w.WriteElement("AN_Standard", "JA");
  w.WriteElement("AN_Strasse", PersonText("INHSTRASSE1"));
  w.WriteElement("AN_PLZ", PersonText("INHPLZ1"));
  w.WriteElement("AN_Ort", PersonText("INHORT1"));
  w.WriteTag("Anschrift", TXMLWriter::tkClose);
}

}  // namespace kx
