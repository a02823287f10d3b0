// The document as a whole, its header, and the customers with person, contacts and address.
#include "staging/ImportFileWriter.h"

#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/platform.h"
#include "util/ProviderDate.h"
#include "util/ProviderIdentity.h"
#include "util/ResultCodes.h"
#include "util/Rounding.h"

namespace kx {

PersonTexts PersonTexts::Of(const db::Row* row) {
  if (row == nullptr) return {};  // a customer without a person row: every text empty
  return {row->AsText("INHGESCH1"),   row->AsText("INHGEBTAG1"),   row->AsText("INHANREDE1"),
          row->AsText("INHVORNAME1"), row->AsText("INHNACHNAME1"), row->AsText("INHTITELTXT1"),
          row->AsText("INHTEL1"),     row->AsText("INHFAX1"),      row->AsText("INHEMAIL1"),
          row->AsText("INHSTRASSE1"), row->AsText("INHPLZ1"),      row->AsText("INHORT1")};
}

ImportFileWriter::ImportFileWriter(DocumentHeader header, DocumentRows& rows, ProgressSink& progress,
                                   SystemClock& clock, RegionalSettings& regional)
    : header_(std::move(header)),
      rows_(rows),
      progress_(progress),
      clock_(clock),
      regional_(regional),
      formats_(regional.Formats()) {}

int32_t ImportFileWriter::Write(const std::string& outputDir, EarlierDocument earlier) {
  const std::string path = outputDir + kPathDelimiter + std::string(kImportFile);
  progress_.Send(KX_PROGRESS_STATUS, 70, "Erstelle XML-Datei: " + path);
  progress_.Enter(RunStage::Document);
  clock_.PumpMessages();

  // The document step replaces an earlier document, so a failure from here on leaves none that a
  // host could import again; the new one appears under its name only when it is complete.
  if (earlier == EarlierDocument::Removed) RemoveFileIfExists(path);
  AtomicFileStream file(path);
  TXMLStreamWriter writer(file, true);
  writer.NeutralFormats = true;
  writer.Regional = formats_;

  writer.WriteTag("XML", TXMLWriter::tkOpen);
  WriteImportHeader(writer);
  const int64_t customers = WriteCustomers(writer);
  const int32_t result = (header_.lastImport == 0 && customers == 0) ? kNoCustomersOnFirstImport : 0;
  if (header_.lastImport > 0) WriteUnassignedDepots(writer);
  writer.WriteTag("XML", TXMLWriter::tkClose);
  writer.Flush();
  file.Commit();
  return result;
}

void ImportFileWriter::WriteImportHeader(TXMLWriter& w) {
  w.WriteTag("Import", TXMLWriter::tkOpen);
  w.WriteElement("I_Herkunft", kProviderName);
  w.WriteElement("I_ImportVersion", kImportVersion);
  w.WriteElement("I_BeraterRef", header_.advisorRef);
  w.WriteElement("I_Datum", TXMLWriter::FormatIsoDate(header_.importDate));
  if (header_.clearReimport) w.WriteElement("I_Reimport", "clear");

  const StartIds ids = rows_.ReadStartIds();
  if (!ids.first.empty() || !ids.second.empty()) {
    w.WriteTag("I_CustomData", TXMLWriter::tkOpen);
    if (!ids.first.empty()) w.WriteElement("PARAM", "startid1=" + ids.first);
    if (!ids.second.empty()) w.WriteElement("PARAM", "startid2=" + ids.second);
    w.WriteTag("I_CustomData", TXMLWriter::tkClose);
  }
  w.WriteTag("Import", TXMLWriter::tkClose);
}

int64_t ImportFileWriter::WriteCustomers(TXMLWriter& w) {
  // All customer rows first: the count drives the progress values.
  const std::vector<std::string> customers = rows_.Customers();
  const auto total = static_cast<double>(customers.size());
  int64_t count = 0;
  for (const std::string& customerNo : customers) {
    last_.customerNo = customerNo;
    // A customer number that is no whole number, or 0, is no customer.
    if (CustomerNumber(customerNo) != 0) WriteCustomer(w, customerNo);
    ++count;
    const auto value = static_cast<int32_t>(RoundHalfEven(static_cast<double>(count) * 25.0 / total + 70.0));
    progress_.Send(KX_PROGRESS_POSITION, value, "");
    clock_.PumpMessages();
  }
  return count;
}

void ImportFileWriter::WriteCustomer(TXMLWriter& w, const std::string& customerNo) {
  w.WriteTag("Kundendaten", TXMLWriter::tkOpen);
  w.WriteTag("Kunde", TXMLWriter::tkOpen);
  w.WriteElement("K_BeraterKennung", header_.advisorRef);
  w.WriteElement("K_ExtRef", customerNo);
  w.WriteTag("Kunde", TXMLWriter::tkClose);
  WriteDepotAdmin(w);
  const PersonTexts person = PersonTexts::Of(rows_.PersonOf(customerNo));
  WritePerson(w, customerNo, person);
  w.WriteTag("Anschrift", TXMLWriter::tkOpen);
  w.WriteElement("AN_Standard", "JA");
  w.WriteElement("AN_Strasse", person.street);
  w.WriteElement("AN_PLZ", person.postcode);
  w.WriteElement("AN_Ort", person.town);
  w.WriteTag("Anschrift", TXMLWriter::tkClose);
  w.WriteTag("Kundendaten", TXMLWriter::tkClose);
}

void ImportFileWriter::WritePerson(TXMLWriter& w, const std::string& customerNo, const PersonTexts& person) {
  const std::string& code = person.gender;
  w.WriteTag("Person", TXMLWriter::tkOpen);
  w.WriteIntElement("P_PersonNr", 1);
  w.WriteElement("P_PersonArt", "V");
  w.WriteDateElement("P_GeburtsDatum", ParseProviderDate(person.birthDate));
  w.WriteElement("P_Geschlecht", code == "M" || code == "W" ? code : std::string());
  w.WriteElement("P_Anrede", person.salutation);
  w.WriteElement("P_Vorname", person.firstName);
  w.WriteElement("P_Nachname", person.lastName);
  w.WriteElement("P_Titel", person.title);
  for (const StagingDepot& depot : rows_.DepotsOf(customerNo)) WriteDepot(w, depot);
  const auto contact = [&w](std::string_view kind, bool isPrivate, const std::string& number) {
    if (number.empty()) return;
    w.WriteTag("TeleKontakt", TXMLWriter::tkOpen);
    w.WriteElement("TK_Art", kind);
    if (isPrivate) w.WriteElement("Privat", "JA");
    w.WriteElement("TK_Nummer", number);
    w.WriteTag("TeleKontakt", TXMLWriter::tkClose);
  };
  contact("TEL", true, person.phone);
  contact("FAX", false, person.fax);
  contact("EMAIL", false, person.email);
  w.WriteTag("Person", TXMLWriter::tkClose);
}

}  // namespace kx
