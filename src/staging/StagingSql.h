#pragma once

#include <array>
#include <string>
#include <string_view>

#include "staging/StagingColumns.h"

// The statements of the staging database, under the names the import refers to them by.
namespace kx::staging_sql {

// The three staging tables, which one run at a time reserves for its writes.
inline constexpr std::array<std::string_view, 3> kStagingTables = {"BESTAENDE", "TRANSAKTIONEN",
                                                                   "DBSTARTIDS"};

inline constexpr std::string_view kClearBestand = "delete from BESTAENDE";
inline constexpr std::string_view kClearTransakt = "delete from TRANSAKTIONEN";
inline constexpr std::string_view kClearDBstartids = "delete from DBSTARTIDS";

// The inserts of the load, built once from the one table of staging columns.
inline const std::string& InsertBestand() {
  static const std::string text = staging_columns::InsertText("BESTAENDE", staging_columns::kBestaende);
  return text;
}
inline const std::string& InsertTransakt() {
  static const std::string text =
      staging_columns::InsertText("TRANSAKTIONEN", staging_columns::kTransaktionen);
  return text;
}
inline const std::string& InsertDBstartids() {
  static const std::string text = staging_columns::InsertText("DBSTARTIDS", staging_columns::kDbStartIds);
  return text;
}

inline constexpr std::string_view kSelectDBstartids = "select RECORDID, STARTID1, STARTID2 from DBSTARTIDS";

inline constexpr std::string_view kKundenVerm =
    "select distinct VERBERNR, INHKDNR1 from BESTAENDE order by INHKDNR1";

inline constexpr std::string_view kKdPerson1 =
    "select distinct INHKDNR1, INHVORNAME1, INHNACHNAME1, INHGESCH1, INHGEBTAG1, INHTITELTXT1, INHSTRASSE1, "
    "INHPLZ1, INHORT1, INHLANDTXT1, INHTEL1, INHFAX1, INHEMAIL1, INHANREDE1 from BESTAENDE "
    "where INHKDNR1 = :parINHKDNR1";

inline constexpr std::string_view kKdDepots =
    "select distinct DEPSTNR, DEPKTOART, DEPUNTERKTO from BESTAENDE where INHKDNR1 = :parINHKDNR1";

// The rows of kKdPerson1 and kKdDepots for every customer in one query each, in the order of the
// customer number and within it in the order of the distinct, which sorts by the columns in turn
// as these order clauses do.
inline constexpr std::string_view kKdPersonAll =
    "select distinct INHKDNR1, INHVORNAME1, INHNACHNAME1, INHGESCH1, INHGEBTAG1, INHTITELTXT1, INHSTRASSE1, "
    "INHPLZ1, INHORT1, INHLANDTXT1, INHTEL1, INHFAX1, INHEMAIL1, INHANREDE1 from BESTAENDE "
    "order by 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14";
inline constexpr std::string_view kKdDepotsAll =
    "select distinct INHKDNR1, DEPSTNR, DEPKTOART, DEPUNTERKTO from BESTAENDE order by 1, 2, 3, 4";

inline constexpr std::string_view kKdDepotsOKZ =
    "select distinct TRANSAKTIONEN.DEPSTNR, TRANSAKTIONEN.DEPKTOART, TRANSAKTIONEN.DEPUNTERKTO from "
    "TRANSAKTIONEN "
    "left outer join BESTAENDE on TRANSAKTIONEN.DEPSTNR = BESTAENDE.DEPSTNR and "
    "(TRANSAKTIONEN.DEPKTOART = BESTAENDE.DEPKTOART or (TRANSAKTIONEN.DEPKTOART is NULL and "
    "BESTAENDE.DEPKTOART is "
    "NULL)) and (TRANSAKTIONEN.DEPUNTERKTO = BESTAENDE.DEPUNTERKTO or (TRANSAKTIONEN.DEPUNTERKTO is NULL and "
    "BESTAENDE.DEPUNTERKTO is NULL)) where BESTAENDE.INHKDNR1 is NULL";

inline constexpr std::string_view kDpWerte =
    "select distinct TRANSAKTIONEN.FONWKNEXT, TRANSAKTIONEN.FONISIN, BESTAENDE.FONNAMELANG, "
    "BESTAENDE.BESTSTK, "
    "BESTAENDE.HAS_TRANS from TRANSAKTIONEN left join BESTAENDE on TRANSAKTIONEN.DEPSTNR = BESTAENDE.DEPSTNR "
    "and "
    "(TRANSAKTIONEN.DEPKTOART = BESTAENDE.DEPKTOART or (TRANSAKTIONEN.DEPKTOART is NULL or "
    "BESTAENDE.DEPKTOART is "
    "NULL)) and TRANSAKTIONEN.FONISIN = BESTAENDE.FONISIN where TRANSAKTIONEN.DEPSTNR = :parDEPSTNR and "
    "(TRANSAKTIONEN.DEPKTOART = :parDEPKTOART or TRANSAKTIONEN.DEPKTOART is NULL or BESTAENDE.DEPKTOART is "
    "NULL) "
    "union select distinct BESTAENDE.FONWKNEXT, BESTAENDE.FONISIN, BESTAENDE.FONNAMELANG, BESTAENDE.BESTSTK, "
    "BESTAENDE.HAS_TRANS from BESTAENDE where BESTAENDE.HAS_TRANS = 0 and BESTAENDE.DEPSTNR = :parDEPSTNR "
    "and "
    "(BESTAENDE.DEPKTOART = :parDEPKTOART or BESTAENDE.DEPKTOART is NULL)";

// The same rows as kDpWerte in half the time. The join reads each depot's distinct (WKN, ISIN,
// account type) of the transactions instead of every transaction: the rows depend on the
// transactions through these columns only. The two parts keep their own distinct although the
// union removes duplicates too: of two texts the database holds equal (trailing blanks), the
// distinct decides which one is written, as in kDpWerte. The document tests run both and compare
// the bytes.
inline constexpr std::string_view kDpWerteDistinctFirst =
    "select distinct TRANSAKTIONEN.FONWKNEXT, TRANSAKTIONEN.FONISIN, BESTAENDE.FONNAMELANG, "
    "BESTAENDE.BESTSTK, "
    "BESTAENDE.HAS_TRANS from (select distinct FONWKNEXT, FONISIN, DEPSTNR, DEPKTOART from TRANSAKTIONEN "
    "where DEPSTNR = :parDEPSTNR) TRANSAKTIONEN left join BESTAENDE on TRANSAKTIONEN.DEPSTNR = "
    "BESTAENDE.DEPSTNR and (TRANSAKTIONEN.DEPKTOART = BESTAENDE.DEPKTOART or (TRANSAKTIONEN.DEPKTOART is "
    "NULL or BESTAENDE.DEPKTOART is NULL)) and TRANSAKTIONEN.FONISIN = BESTAENDE.FONISIN where "
    "TRANSAKTIONEN.DEPSTNR = :parDEPSTNR and (TRANSAKTIONEN.DEPKTOART = :parDEPKTOART or "
    "TRANSAKTIONEN.DEPKTOART is NULL or BESTAENDE.DEPKTOART is NULL) union select distinct "
    "BESTAENDE.FONWKNEXT, "
    "BESTAENDE.FONISIN, BESTAENDE.FONNAMELANG, BESTAENDE.BESTSTK, BESTAENDE.HAS_TRANS from BESTAENDE "
    "where BESTAENDE.HAS_TRANS = 0 and BESTAENDE.DEPSTNR = :parDEPSTNR and (BESTAENDE.DEPKTOART = "
    ":parDEPKTOART or BESTAENDE.DEPKTOART is NULL)";

inline constexpr std::string_view kDwTrans =
    "select TRAID, TRATYPKZ, TRATYPKZTXT, TRAWAEHR, TRADAT, FONPREISDAT, FONPREIS, FONRPREIS, TRASTK, "
    "TRABETRAG, "
    "TRABETRAGEUR, FONAUSGABE, TRABONPZ from TRANSAKTIONEN where DEPSTNR = :parDEPSTNR and (DEPKTOART "
    "containing "
    ":parDEPKTOART or DEPKTOART is NULL) and FONISIN = :parFONISIN order by TRADAT";

// The rows of kDwTrans for every account type and position of a depot number: in record order
// through the index bitmap (Of), or of every depot number at once through the index over (number,
// ISIN, TRADAT) (All). Kept by ISIN and sorted by TRADAT with equal dates in the order they came, a
// position's rows come as kDwTrans gives them, whose index keeps equal keys by record; the account
// type is compared afterwards (AccountTypeMatch). The two have the same columns.
#define KX_TRANSACTION_COLUMNS                                                                         \
  "select DEPSTNR, TRAID, TRATYPKZ, TRATYPKZTXT, TRAWAEHR, TRADAT, FONPREISDAT, FONPREIS, FONRPREIS, " \
  "TRASTK, TRABETRAG, TRABETRAGEUR, FONAUSGABE, TRABONPZ, FONWKNEXT, DEPKTOART, FONISIN from TRANSAKTIONEN "
inline constexpr std::string_view kDwTransOfDepot = KX_TRANSACTION_COLUMNS "where DEPSTNR = :parDEPSTNR";
inline constexpr std::string_view kDwTransAll = KX_TRANSACTION_COLUMNS "order by DEPSTNR, FONISIN, TRADAT";
#undef KX_TRANSACTION_COLUMNS

inline constexpr std::string_view kDWBestand =
    "select FONRUECKPREIS, FONPREISDAT, FONWAEHR, DEVKURS, DEVDAT, BESTSTK, BESTWERT_EUR from BESTAENDE "
    "where "
    "DEPSTNR = :parDEPSTNR and (DEPKTOART containing :parDEPKTOART or DEPKTOART is NULL) and FONISIN = "
    ":parFONISIN";

// The rows of kDWBestand for every account type and position of a depot number, with the columns
// of the position query: in record order through the index bitmap (Of), or of every depot number
// at once through the index over (number, ISIN), which keeps the rows of one ISIN in record order
// too (All). The two have the same columns.
#define KX_HOLDING_COLUMNS                                                                         \
  "select DEPSTNR, FONRUECKPREIS, FONPREISDAT, FONWAEHR, DEVKURS, DEVDAT, BESTSTK, BESTWERT_EUR, " \
  "FONWKNEXT, FONNAMELANG, HAS_TRANS, DEPKTOART, FONISIN from BESTAENDE "
inline constexpr std::string_view kDWBestandOfDepot = KX_HOLDING_COLUMNS "where DEPSTNR = :parDEPSTNR";
inline constexpr std::string_view kDWBestandAll = KX_HOLDING_COLUMNS "order by DEPSTNR, FONISIN";
#undef KX_HOLDING_COLUMNS

}  // namespace kx::staging_sql
