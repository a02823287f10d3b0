// Loading the client library: the platform's name, the next name when one fails, clear errors.
#include "db/ClientLibrary.h"

#include <gtest/gtest.h>

#include <string>

#include "db/DatabaseError.h"
#include "db/IbaseApi.h"

namespace kx::db {
namespace {

std::string LoadError(const std::vector<std::string>& names) {
  try {
    ClientLibrary client(DefaultSharedLibraryLoader(), names);
  } catch (const DatabaseError& error) {
    return error.what();
  }
  return "(loaded " + names.front() + ")";
}

TEST(ClientLibrary, LoadsTheFirebirdClientByDefault) {
  const ClientLibrary client;
  EXPECT_EQ(client.Name(), "libfbclient.so.2");
  EXPECT_NE(client.Api().attachDatabase, nullptr);
  // The file the loader found, for the debug line that names it.
  EXPECT_TRUE(client.File().starts_with("/") && client.File().ends_with("/libfbclient.so.2"))
      << client.File();
}

TEST(ClientLibrary, NonExistentLibraryIsNamedInTheError) {
  const std::string message = LoadError({"libkx-no-such-client.so.9"});
  EXPECT_NE(message.find("libkx-no-such-client.so.9"), std::string::npos) << message;
}

TEST(ClientLibrary, LibraryWithoutTheClientsFunctionsIsNamedWithWhatItLacks) {
  const std::string message = LoadError({"libc.so.6"});
  EXPECT_NE(message.find("libc.so.6 does not export isc_attach_database"), std::string::npos) << message;
}

// The Windows order: gds32.dll first, fbclient.dll when it does not serve.
TEST(ClientLibrary, TriesTheNextNameAndReportsEveryFailure) {
  const ClientLibrary client(DefaultSharedLibraryLoader(),
                             {"libkx-missing.so", "libc.so.6", "libfbclient.so.2"});
  EXPECT_EQ(client.Name(), "libfbclient.so.2");

  const std::string message = LoadError({"libkx-missing.so", "libc.so.6"});
  EXPECT_NE(message.find("libkx-missing.so"), std::string::npos) << message;
  EXPECT_NE(message.find("libc.so.6"), std::string::npos) << message;
}

}  // namespace
}  // namespace kx::db
