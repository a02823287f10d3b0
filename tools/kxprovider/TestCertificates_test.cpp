#include "kxprovider/TestCertificates.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "support/TempDir.h"

namespace kx {
namespace {

const char* const kFiles[] = {"ca.pem",      "ca.key",      "server.pem",    "server.key",
                              "expired.pem", "expired.key", "wrongname.pem", "wrongname.key"};

std::map<std::string, std::string> Contents(const std::string& dir) {
  std::map<std::string, std::string> contents;
  for (const char* name : kFiles) {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    contents[name] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return contents;
}

struct X509Free {
  void operator()(X509* certificate) const { X509_free(certificate); }
};
struct StoreFree {
  void operator()(X509_STORE* store) const { X509_STORE_free(store); }
};
struct StoreContextFree {
  void operator()(X509_STORE_CTX* context) const { X509_STORE_CTX_free(context); }
};
using Certificate = std::unique_ptr<X509, X509Free>;

Certificate Load(const std::string& path) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(path.c_str(), "r"), &BIO_free);
  return Certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

// The verification result of a server certificate against the CA, for the name 127.0.0.1.
int Verify(const std::string& dir, const std::string& certificateFile) {
  const Certificate ca = Load(dir + "/ca.pem");
  const Certificate leaf = Load(dir + "/" + certificateFile);
  if (!ca || !leaf) return -1;
  const std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
  X509_STORE_add_cert(store.get(), ca.get());
  const std::unique_ptr<X509_STORE_CTX, StoreContextFree> context(X509_STORE_CTX_new());
  X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), nullptr);
  X509_VERIFY_PARAM_set1_ip_asc(X509_STORE_CTX_get0_param(context.get()), "127.0.0.1");
  X509_verify_cert(context.get());
  return X509_STORE_CTX_get_error(context.get());
}

TEST(TestCertificates, ServerSetsVerifyAsTheirVariantSays) {
  const testsupport::TempDir dir;
  MakeTestCertificates(dir.Path().string() + "/certs");
  const std::string certs = dir.Path().string() + "/certs";
  EXPECT_EQ(Verify(certs, "server.pem"), X509_V_OK);
  EXPECT_EQ(Verify(certs, "expired.pem"), X509_V_ERR_CERT_HAS_EXPIRED);
  EXPECT_EQ(Verify(certs, "wrongname.pem"), X509_V_ERR_IP_ADDRESS_MISMATCH);

  const Certificate server = Load(certs + "/server.pem");
  EXPECT_EQ(X509_check_host(server.get(), "localhost", 0, 0, nullptr), 1);
  const Certificate wrong = Load(certs + "/wrongname.pem");
  EXPECT_EQ(X509_check_host(wrong.get(), "wrong.example", 0, 0, nullptr), 1);
  EXPECT_EQ(X509_check_host(wrong.get(), "localhost", 0, 0, nullptr), 0);
  EXPECT_EQ(
      std::filesystem::status(certs + "/server.key").permissions() & std::filesystem::perms::others_read,
      std::filesystem::perms::none);
}

TEST(TestCertificates, CompleteSetsAreKeptAndOnlyBrokenOnesMadeAnew) {
  const testsupport::TempDir dir;
  MakeTestCertificates(dir.Path().string());
  const std::map<std::string, std::string> first = Contents(dir.Path().string());
  MakeTestCertificates(dir.Path().string());
  EXPECT_EQ(Contents(dir.Path().string()), first);

  std::filesystem::remove(dir.Path().string() + "/expired.key");
  MakeTestCertificates(dir.Path().string());
  const std::map<std::string, std::string> second = Contents(dir.Path().string());
  for (const char* name : kFiles) {
    const bool renewed = std::string_view(name).substr(0, 8) == "expired.";
    EXPECT_EQ(second.at(name) != first.at(name), renewed) << name;
  }
  EXPECT_EQ(Verify(dir.Path().string(), "expired.pem"), X509_V_ERR_CERT_HAS_EXPIRED);
}

TEST(TestCertificates, ANewCaRenewsEveryServerSet) {
  const testsupport::TempDir dir;
  MakeTestCertificates(dir.Path().string());
  const std::map<std::string, std::string> first = Contents(dir.Path().string());
  dir.WriteFile("ca.key", "not a key");
  MakeTestCertificates(dir.Path().string());
  const std::map<std::string, std::string> second = Contents(dir.Path().string());
  for (const char* name : kFiles) EXPECT_NE(second.at(name), first.at(name)) << name;
  EXPECT_EQ(Verify(dir.Path().string(), "server.pem"), X509_V_OK);
}

}  // namespace
}  // namespace kx
