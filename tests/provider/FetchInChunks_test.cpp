// FetchProviderFile when the answer arrives a few bytes per read, so that the seven bytes that
// tell an error answer from a data file are split over several reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "provider/ImpApi_Korvalix_Fetch.h"
#include "support/RunDoubles.h"
#include "support/ScriptedTransport.h"
#include "support/TempDir.h"

namespace kx::test {
namespace {

TEST(FetchInChunks, ErrorAnswersAndDataFilesAreToldApartWhateverTheChunks) {
  const struct {
    std::string body;
    int32_t result;
    bool file;
  } cases[] = {
      {"Fehler 10 - Zugang gesperrt", kProviderAccessDenied, false},
      {"Fehler abc", kProviderError, false},
      {"Fehler", 0, true},
      {"Feh", 0, true},
      {"VERBERNR;INHKDNR1\r\n1;M\xFC"
       "ller\r\n",
       0, true},
  };
  for (const auto& c : cases) {
    for (const std::size_t chunk : {1, 2, 6, 7, 65535}) {
      testsupport::TempDir data;
      EventLog events;
      RecordingProgress progress(events);
      FakeUi ui(events);
      FixedClock clock;
      ScriptedTransport transport;
      transport.body = c.body;
      transport.chunk = chunk;
      ProviderValues values;
      Downloader downloader(transport, ui, progress);
      ProviderFetch fetch(values, progress, downloader, clock);
      const std::string dataDir = data.Path().string() + "/";
      EXPECT_EQ(fetch.FetchProviderFile("https://127.0.0.1/x", "f.csv", "", dataDir), c.result)
          << c.body << " chunk " << chunk;
      const std::filesystem::path target = data.Path() / "f.csv";
      ASSERT_EQ(std::filesystem::exists(target), c.file) << c.body << " chunk " << chunk;
      if (c.file) {
        EXPECT_EQ(testsupport::TempDir::ReadFile(target), c.body);
      }
      EXPECT_FALSE(std::filesystem::exists(data.Path() / "f.csv.kxtmp"));
    }
  }
}

}  // namespace
}  // namespace kx::test
