#pragma once

#include <string_view>

#include "util/Cp1252.h"

// Word lists for the generated customers and funds. The source is UTF-8; the _cp1252 literal
// turns every entry into the Windows-1252 bytes the provider files carry. All people, streets,
// fund houses and domains are made up or reserved for examples.
namespace kx::gen {

inline constexpr std::string_view kSurnames[] = {
    "Müller"_cp1252,         "Schmidt"_cp1252,        "Schneider"_cp1252,
    "Fischer"_cp1252,        "Weber"_cp1252,          "Meyer"_cp1252,
    "Wagner"_cp1252,         "Becker"_cp1252,         "Schulz"_cp1252,
    "Hoffmann"_cp1252,       "Schäfer"_cp1252,        "Koch"_cp1252,
    "Bauer"_cp1252,          "Richter"_cp1252,        "Klein"_cp1252,
    "Wolf"_cp1252,           "Schröder"_cp1252,       "Neumann"_cp1252,
    "Schwarz"_cp1252,        "Zimmermann"_cp1252,     "Braun"_cp1252,
    "Krüger"_cp1252,         "Hofmann"_cp1252,        "Hartmann"_cp1252,
    "Lange"_cp1252,          "Werner"_cp1252,         "Krause"_cp1252,
    "Lehmann"_cp1252,        "Köhler"_cp1252,         "König"_cp1252,
    "Weiß"_cp1252,           "Groß"_cp1252,           "Jäger"_cp1252,
    "Krämer"_cp1252,         "Böhm"_cp1252,           "Günther"_cp1252,
    "Möller"_cp1252,         "Hübner"_cp1252,         "Fuß"_cp1252,
    "Kühn"_cp1252,           "Bäcker"_cp1252,         "Brückner"_cp1252,
    "Däubler"_cp1252,        "Oßwald"_cp1252,         "Straßburger"_cp1252,
    "Schulze-Rüther"_cp1252, "von Weißenfels"_cp1252, "Müller-Lüdenscheidt"_cp1252,
    "Meier"_cp1252,          "Vogel"_cp1252,          "Sommer"_cp1252,
    "Winter"_cp1252,         "Engel"_cp1252,
};

inline constexpr std::string_view kMaleFirstNames[] = {
    "Jürgen"_cp1252, "Jörg"_cp1252,    "Günter"_cp1252, "Björn"_cp1252,       "Sören"_cp1252,
    "Hans"_cp1252,   "Klaus"_cp1252,   "Uwe"_cp1252,    "Ralf"_cp1252,        "Andreas"_cp1252,
    "Thomas"_cp1252, "Michael"_cp1252, "Stefan"_cp1252, "Wolfgang"_cp1252,    "Dieter"_cp1252,
    "Horst"_cp1252,  "Helmut"_cp1252,  "Max"_cp1252,    "Hans-Jürgen"_cp1252, "Karl-Heinz"_cp1252,
    "Lukas"_cp1252,  "Jan"_cp1252,     "Bernd"_cp1252,  "Rüdiger"_cp1252,
};

inline constexpr std::string_view kFemaleFirstNames[] = {
    "Ursula"_cp1252, "Jutta"_cp1252,   "Bärbel"_cp1252, "Käthe"_cp1252,        "Hannelore"_cp1252,
    "Gisela"_cp1252, "Renate"_cp1252,  "Monika"_cp1252, "Sabine"_cp1252,       "Petra"_cp1252,
    "Birgit"_cp1252, "Susanne"_cp1252, "Andrea"_cp1252, "Claudia"_cp1252,      "Anja"_cp1252,
    "Jülide"_cp1252, "Chloé"_cp1252,   "Dörte"_cp1252,  "Anne-Kathrin"_cp1252, "Marie-Luise"_cp1252,
    "Lena"_cp1252,   "Sophie"_cp1252,
};

inline constexpr std::string_view kOtherFirstNames[] = {
    "Kim"_cp1252, "Sascha"_cp1252, "Toni"_cp1252, "Luca"_cp1252, "Eike"_cp1252,
};

inline constexpr std::string_view kTitles[] = {
    "Dr."_cp1252,      "Prof. Dr."_cp1252,     "Dipl.-Ing."_cp1252,
    "Dr. med."_cp1252, "Prof. Dr. Dr."_cp1252, "Dipl.-Kfm."_cp1252,
};

inline constexpr std::string_view kStreets[] = {
    "Hauptstraße"_cp1252,       "Bahnhofstraße"_cp1252,    "Schloßallee"_cp1252,
    "Königstraße"_cp1252,       "Am Mühlbach"_cp1252,      "Gartenweg"_cp1252,
    "Lindenstraße"_cp1252,      "Kirchplatz"_cp1252,       "Goethestraße"_cp1252,
    "Schillerstraße"_cp1252,    "Mozartweg"_cp1252,        "Friedrich-Ebert-Straße"_cp1252,
    "Grüner Weg"_cp1252,        "Kölner Straße"_cp1252,    "Münchener Str."_cp1252,
    "Düsseldorfer Str."_cp1252, "Am Großen Garten"_cp1252, "Rosenstraße"_cp1252,
    "Birkenallee"_cp1252,       "Uferstraße"_cp1252,       "Marktplatz"_cp1252,
    "Überlinger Straße"_cp1252, "Ölmühlenweg"_cp1252,      "Äußere Laufer Gasse"_cp1252,
};

inline constexpr std::string_view kAddressAdditions[] = {
    "c/o Weiß"_cp1252,          "Hinterhaus"_cp1252,      "2. OG links"_cp1252,
    "Postfach 10 11 12"_cp1252, "Gebäude \"Süd\""_cp1252,
};

struct Town {
  std::string_view postalCode;
  std::string_view name;
  std::string_view areaCode;  // as dialled within the country
  std::string_view country;   // empty: Germany
  std::string_view dialCode;  // the country's calling code
};

inline constexpr Town kTowns[] = {
    {"50667", "Köln"_cp1252, "0221", "", "+49"},
    {"80331", "München"_cp1252, "089", "", "+49"},
    {"20095", "Hamburg", "040", "", "+49"},
    {"10115", "Berlin", "030", "", "+49"},
    {"60311", "Frankfurt am Main", "069", "", "+49"},
    {"70173", "Stuttgart", "0711", "", "+49"},
    {"40213", "Düsseldorf"_cp1252, "0211", "", "+49"},
    {"04109", "Leipzig", "0341", "", "+49"},
    {"01067", "Dresden", "0351", "", "+49"},
    {"90402", "Nürnberg"_cp1252, "0911", "", "+49"},
    {"28195", "Bremen", "0421", "", "+49"},
    {"30159", "Hannover", "0511", "", "+49"},
    {"97070", "Würzburg"_cp1252, "0931", "", "+49"},
    {"79098", "Freiburg im Breisgau", "0761", "", "+49"},
    {"66111", "Saarbrücken"_cp1252, "0681", "", "+49"},
    {"48143", "Münster"_cp1252, "0251", "", "+49"},
    {"37073", "Göttingen"_cp1252, "0551", "", "+49"},
    {"49074", "Osnabrück"_cp1252, "0541", "", "+49"},
    {"07743", "Jena", "03641", "", "+49"},
    {"67059", "Ludwigshafen am Rhein", "0621", "", "+49"},
    {"82467", "Garmisch-Partenkirchen", "08821", "", "+49"},
    {"6020", "Innsbruck", "0512", "Österreich"_cp1252, "+43"},
    {"1010", "Wien", "01", "Österreich"_cp1252, "+43"},
    {"8001", "Zürich"_cp1252, "044", "Schweiz", "+41"},
};

inline constexpr std::string_view kMailDomains[] = {"example.com", "example.org", "example.net"};

// Fund names: house, asset class, region, share class.
inline constexpr std::string_view kFundHouses[] = {
    "Nordlicht"_cp1252, "Alpenblick"_cp1252, "Rheintal"_cp1252, "Elbufer"_cp1252,  "Hanseatica"_cp1252,
    "Isartal"_cp1252,   "Weserland"_cp1252,  "Mainau"_cp1252,   "Donautal"_cp1252, "Förde"_cp1252,
};

inline constexpr std::string_view kFundAssets[] = {
    "Aktien"_cp1252,     "Renten"_cp1252,    "Mischfonds"_cp1252,     "Geldmarkt"_cp1252,
    "Immobilien"_cp1252, "Dividende"_cp1252, "Nachhaltigkeit"_cp1252, "Technologie"_cp1252,
    "Rohstoffe"_cp1252,  "Wachstum"_cp1252,  "Zukunftsthemen"_cp1252, "Substanz"_cp1252,
};

inline constexpr std::string_view kFundRegions[] = {
    "Deutschland"_cp1252, "Europa"_cp1252,        "Global"_cp1252,          "Welt"_cp1252,
    "Nordamerika"_cp1252, "Asien-Pazifik"_cp1252, "Schwellenländer"_cp1252, "Österreich"_cp1252,
    "Schweiz"_cp1252,     "Euroland"_cp1252,      "Übersee"_cp1252,         "Skandinavien"_cp1252,
};

inline constexpr std::string_view kFundClasses[] = {
    ""_cp1252, " A"_cp1252, " T"_cp1252, " (thesaurierend)"_cp1252, " ausschüttend"_cp1252, " EUR"_cp1252,
};

}  // namespace kx::gen
