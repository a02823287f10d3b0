#pragma once

#include <string_view>

// Who the library is and what its provider delivers, for the frame, the run and the staging load.
namespace kx {

inline constexpr std::string_view kProviderName = "KORVALIX";
inline constexpr std::string_view kImportVersion = "2.1.2";

// The key of the library's settings below the local-machine root.
inline constexpr std::string_view kSettingsKey = "Software\\Velqora\\TAVO\\ImportAPI\\KORVALIX";

// The provider's two files, as the run stores them in the data directory and the load reads them.
inline constexpr std::string_view kHoldingsFile = "bestandsdaten.csv";
inline constexpr std::string_view kTransactionsFile = "transaktionsdaten.csv";
// The error logs of their loads (the start ids come from the transactions file), beside them.
inline constexpr std::string_view kHoldingsLog = "bst_error.log";
inline constexpr std::string_view kTransactionsLog = "tra_error.log";
inline constexpr std::string_view kStartIdsLog = "ids_error.log";

// The import document the run writes into the host's output directory.
inline constexpr std::string_view kImportFile = "KORVALIX.XML";

}  // namespace kx
