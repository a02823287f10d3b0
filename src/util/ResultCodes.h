#pragma once

#include <cstdint>

// Every result code of the library, once. 0 is success; GetExportErrorMsg has a text for each
// code below except kClearReimportRequired.
namespace kx {

inline constexpr int32_t kSuccess = 0;

// The download (DownloadUrl), passed on by the fetch and the run.
inline constexpr int32_t kDownloadUnknown = -1;  // also: the proxy prompt was declined
inline constexpr int32_t kDownloadNoSession = -2;
inline constexpr int32_t kDownloadOpenFailed = -3;
inline constexpr int32_t kDownloadDenied = -4;  // HTTP 401 or 403
inline constexpr int32_t kDownloadNotFound = -5;
inline constexpr int32_t kDownloadOtherStatus = -6;
inline constexpr int32_t kDownloadIncomplete = -7;
inline constexpr int32_t kDownloadOverloaded = -8;  // HTTP 503
inline constexpr int32_t kDownloadProxyAuth = -9;
inline constexpr int32_t kDownloadCancelled = -1015;

// The run.
inline constexpr int32_t kNoOptionText = -11;
inline constexpr int32_t kNoLogin = -12;
inline constexpr int32_t kNoAdvisorCentre = -13;   // a text only: no step returns it
inline constexpr int32_t kBadAdvisorNumber = -14;  // a text only
inline constexpr int32_t kPinCancelled = -15;
inline constexpr int32_t kHoldingsEncodingFailed = -21;
inline constexpr int32_t kTransactionsEncodingFailed = -22;
inline constexpr int32_t kUnzipFailed = -23;  // a text only
inline constexpr int32_t kNoCustomersOnFirstImport = -28;
inline constexpr int32_t kImportFileFailed = -29;  // the server start, or an error that ended the run

// The provider's error answers, by the number in them.
inline constexpr int32_t kProviderError = -30;         // any other number, or none
inline constexpr int32_t kProviderAccessDenied = -31;  // 10: login or PIN wrong
inline constexpr int32_t kProviderError20 = -32;
inline constexpr int32_t kProviderError30 = -33;
inline constexpr int32_t kProviderInterfaceOutdated = -34;  // 40
inline constexpr int32_t kProviderError50 = -35;
inline constexpr int32_t kClearReimportRequired = -36;  // 60: the run repeats the request

// The exports' own answers.
inline constexpr int32_t kNoErrorText = -1;        // GetExportErrorMsg: the code has no text
inline constexpr int32_t kNoRunEntry = -1;         // ExportXML before the provider set its run
inline constexpr int32_t kHostVersionTooOld = -1;  // AppVersionCheck

}  // namespace kx
