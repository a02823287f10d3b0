#include "provider/ImpApi_Korvalix_Fetch.h"

#include "platform/AtomicFile.h"
#include "platform/platform.h"
#include "util/ResultCodes.h"
#include "util/WholeNumber.h"

namespace kx {
namespace {

constexpr std::string_view kErrorPrefix = "Fehler ";
constexpr uint32_t kPauseAfterWriteMs = 1000;

// The body of a provider answer on its way to the data file. The first seven bytes decide: an
// error answer ("Fehler ...") is kept in memory for its message and never becomes a file; a data
// file goes straight to the temporary file beside its target, so that memory does not grow with
// the delivery, and appears under its name only by Commit.
class ProviderAnswerStream final : public OutputStream {
 public:
  explicit ProviderAnswerStream(std::string target) : target_(std::move(target)) {}

  void Write(const char* bytes, std::size_t count) override {
    if (file_) {
      file_->Write(bytes, count);
      return;
    }
    head_.append(bytes, count);
    if (!head_.starts_with(kErrorPrefix) && head_.size() >= kErrorPrefix.size()) OpenFile();
  }

  // The whole answer while it is an error answer (or too short to tell); empty once it goes to
  // the file.
  const std::string& Head() const { return head_; }

  void Commit() {
    if (!file_) OpenFile();
    file_->Commit();
  }

 private:
  void OpenFile() {
    file_.emplace(target_);
    file_->Write(head_.data(), head_.size());
    head_.clear();
  }

  std::string target_;
  std::string head_;
  std::optional<AtomicFileStream> file_;
};

int32_t ResultOfProviderNumber(int32_t number) {
  switch (number) {
    case 10:
      return kProviderAccessDenied;
    case 20:
      return kProviderError20;
    case 30:
      return kProviderError30;
    case 40:
      return kProviderInterfaceOutdated;
    case 50:
      return kProviderError50;
    case 60:
      return kClearReimportRequired;
    default:
      return kProviderError;
  }
}

}  // namespace

std::optional<int32_t> ProviderErrorAnswer(std::string_view content, ProviderValues& values) {
  if (!content.starts_with(kErrorPrefix)) return std::nullopt;
  const std::size_t dash = content.find('-');
  if (dash != std::string_view::npos) {
    values.LastProviderErrorCode = 0;
    values.LastProviderErrorText.clear();
    // The number stands between "Fehler" and the character before the first "-".
    const std::size_t numberEnd = dash > 0 ? dash - 1 : 0;
    const std::string_view numberText = numberEnd > 6 ? content.substr(6, numberEnd - 6) : std::string_view();
    if (const std::optional<int32_t> number = ParseInt32(numberText)) {
      values.LastProviderErrorCode = *number;
      values.LastProviderErrorText = std::string(dash + 2 <= content.size() ? content.substr(dash + 2) : "");
    }
  }
  return ResultOfProviderNumber(values.LastProviderErrorCode);
}

int32_t ProviderFetch::FetchProviderFile(std::string_view url, std::string_view fileName,
                                         std::string_view plainCopy, std::string_view dataDir) {
  if (values_.DebugMode > 0) {
    progress_.Send(
        KX_PROGRESS_LOG, 0,
        "Download von URL: " + std::string(url) + "\r\nParams uncodiert: " + std::string(plainCopy));
  }
  const std::string target = std::string(dataDir) + std::string(fileName);
  if (values_.DebugMode == 2) {
    const std::string source = std::string(dataDir) + "debug" + kPathDelimiter + std::string(fileName);
    CopyFileAtomically(source, target);
    return 0;
  }

  ProviderAnswerStream answer(target);
  std::string statusText;
  const int32_t result = downloader_.DownloadUrl(url, "", values_.Timeout, answer, statusText, true, true);
  if (result != 0) {
    progress_.Send(KX_PROGRESS_ERROR, 0,
                   "Datenabruf fehlgeschlagen: " + std::string(fileName) + "\r\nStatus: " + statusText);
    return result;
  }
  if (const std::optional<int32_t> providerError = ProviderErrorAnswer(answer.Head(), values_))
    return *providerError;

  progress_.Send(KX_PROGRESS_LOG, 0, "Datendatei geladen: " + std::string(fileName));
  answer.Commit();
  clock_.Sleep(kPauseAfterWriteMs);
  return 0;
}

}  // namespace kx
