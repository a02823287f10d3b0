#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

// The columns the load fills, per staging table, in the order of the provider files' fields (the
// maps of install/ and kxgen's records follow it). One table builds the inserts and serves
// kximport check (the column maps against it), kxgen (the provider files' headers) and the tests,
// so a column added here reaches all of them.
namespace kx::staging_columns {

inline constexpr std::array<std::string_view, 50> kBestaende = {
    "VERBERNR",     "VERNR",        "VERUNTER",      "DEPSTNR",      "DEPEINR",      "INHKDNR1",
    "INHANREDE1",   "INHTITELTXT1", "INHGESCH1",     "INHNACHNAME1", "INHVORNAME1",  "INHPOSTERG1",
    "INHSTRASSE1",  "INHPLZ1",      "INHORT1",       "INHLANDTXT1",  "INHTEL1",      "INHFAX1",
    "INHEMAIL1",    "INHGEBTAG1",   "INHKDNR2",      "INHANREDE2",   "INHTITELTXT2", "INHGESCH2",
    "INHNACHNAME2", "INHVORNAME2",  "INHPOSTERG2",   "INHSTRASSE2",  "INHPLZ2",      "INHORT2",
    "INHLANDTXT2",  "INHTEL2",      "INHFAX2",       "INHEMAIL2",    "INHGEBTAG2",   "FONWKNEXT",
    "FONISIN",      "FONNAMELANG",  "FONRUECKPREIS", "FONPREISDAT",  "FONWAEHR",     "DEVKURS",
    "DEVDAT",       "BESTSTK",      "BESTWERT_EUR",  "DEPRABATT",    "DEPGEBPROZ",   "DEPKTOART",
    "DEPUNTERKTO",  "HAS_TRANS"};

inline constexpr std::array<std::string_view, 22> kTransaktionen = {
    "TRAID",       "VERBERNR",      "VERNR",       "VERUNTER",   "DEPSTNR",      "TRATYPKZ",
    "TRATYPKZTXT", "TRADAT",        "FONPREISDAT", "TRABETRAG",  "TRABETRAGEUR", "TRAWAEHR",
    "FONPREIS",    "FONRPREIS",     "TRABONPZ",    "FONAUSGABE", "TRASTK",       "FONWKNEXT",
    "FONISIN",     "TRAZWISCHGEW1", "DEPKTOART",   "DEPUNTERKTO"};

inline constexpr std::array<std::string_view, 3> kDbStartIds = {"RECORDID", "STARTID1", "STARTID2"};

// The fields of the transactions file: the staging columns, then the two start ids, which the
// load keeps in DBSTARTIDS.
inline constexpr std::array<std::string_view, 24> kTransactionsFileFields = [] {
  std::array<std::string_view, 24> fields{};
  std::size_t i = 0;
  for (const std::string_view column : kTransaktionen) fields[i++] = column;
  fields[i++] = kDbStartIds[1];
  fields[i] = kDbStartIds[2];
  return fields;
}();

// "insert into TABLE (A, B) values (:A, :B)": the parameters named after their columns.
inline std::string InsertText(std::string_view table, std::span<const std::string_view> columns) {
  std::string names;
  std::string parameters;
  for (const std::string_view column : columns) {
    names += (names.empty() ? "" : ", ") + std::string(column);
    parameters += (parameters.empty() ? ":" : ", :") + std::string(column);
  }
  return "insert into " + std::string(table) + " (" + names + ") values (" + parameters + ")";
}

}  // namespace kx::staging_columns
