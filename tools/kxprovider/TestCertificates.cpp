#include "kxprovider/TestCertificates.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/file.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "util/Error.h"

namespace kx {

namespace {

template <auto Free>
struct Deleter {
  template <typename T>
  void operator()(T* handle) const {
    Free(handle);
  }
};
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using Certificate = std::unique_ptr<X509, Deleter<X509_free>>;
using Extension = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using Bio = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using Bignum = std::unique_ptr<BIGNUM, Deleter<BN_free>>;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  // Closes now, so a failed close can be reported.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

constexpr std::chrono::seconds kLockWait{30};

[[noreturn]] void ThrowOpenSsl(const std::string& what) {
  char text[256] = "no detail";
  if (const unsigned long code = ERR_get_error(); code != 0) ERR_error_string_n(code, text, sizeof text);
  ERR_clear_error();
  throw Error(what + ": " + text);
}

struct Profile {
  const char* commonName;
  const char* subjectAltName;  // nullptr for the CA
  int notBeforeDays;           // days from now
  int notAfterDays;
};

constexpr Profile kCaProfile = {"kxprovider test CA", nullptr, -400, 7305};

struct ServerSet {
  const char* baseName;
  Profile profile;
};

constexpr std::array<ServerSet, 3> kServerSets = {{
    {"server", {"localhost", "IP:127.0.0.1,DNS:localhost", -1, 3653}},
    {"expired", {"localhost", "IP:127.0.0.1,DNS:localhost", -366, -1}},
    {"wrongname", {"wrong.example", "DNS:wrong.example", -1, 3653}},
}};

void AddExtension(X509* certificate, X509V3_CTX& context, int nid, const char* value) {
  const Extension extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  if (!extension || X509_add_ext(certificate, extension.get(), -1) != 1) {
    ThrowOpenSsl(std::string("cannot add the certificate extension ") + value);
  }
}

Key MakeKey() {
  Key key(EVP_RSA_gen(2048));
  if (!key) ThrowOpenSsl("cannot generate an RSA key");
  return key;
}

// A certificate for key, signed by issuerKey; issuer null makes it self-signed.
Certificate MakeCertificate(const Profile& profile, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey) {
  Certificate certificate(X509_new());
  if (!certificate) ThrowOpenSsl("cannot create a certificate");
  X509* cert = certificate.get();

  const Bignum serial(BN_new());
  if (!serial || BN_rand(serial.get(), 120, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) != 1 ||
      BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert)) == nullptr) {
    ThrowOpenSsl("cannot set a serial number");
  }
  X509_NAME* name = X509_get_subject_name(cert);
  const auto* commonName = reinterpret_cast<const unsigned char*>(profile.commonName);
  const auto* organisation = reinterpret_cast<const unsigned char*>("kxprovider test");
  if (X509_set_version(cert, 2) != 1 ||
      X509_time_adj_ex(X509_getm_notBefore(cert), profile.notBeforeDays, 0, nullptr) == nullptr ||
      X509_time_adj_ex(X509_getm_notAfter(cert), profile.notAfterDays, 0, nullptr) == nullptr ||
      X509_set_pubkey(cert, key) != 1 ||
      X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, organisation, -1, -1, 0) != 1 ||
      X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, commonName, -1, -1, 0) != 1 ||
      X509_set_issuer_name(cert, issuer != nullptr ? X509_get_subject_name(issuer) : name) != 1) {
    ThrowOpenSsl(std::string("cannot fill the certificate for ") + profile.commonName);
  }

  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer != nullptr ? issuer : cert, cert, nullptr, nullptr, 0);
  if (profile.subjectAltName == nullptr) {
    AddExtension(cert, context, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert, context, NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert, context, NID_subject_key_identifier, "hash");
  } else {
    AddExtension(cert, context, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert, context, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert, context, NID_ext_key_usage, "serverAuth");
    AddExtension(cert, context, NID_subject_key_identifier, "hash");
    AddExtension(cert, context, NID_authority_key_identifier, "keyid:always");
    AddExtension(cert, context, NID_subject_alt_name, profile.subjectAltName);
  }
  if (X509_sign(cert, issuerKey, EVP_sha256()) == 0) {
    ThrowOpenSsl(std::string("cannot sign the certificate for ") + profile.commonName);
  }
  return certificate;
}

// Writes through a temporary name and renames, so a reader sees the old file or the whole new one.
void WriteFileReplacing(const std::string& path, std::string_view content, mode_t mode) {
  const std::string temporary = path + ".tmp." + std::to_string(::getpid());
  FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (fd.Get() < 0) throw FileError("cannot create " + temporary + ": " + std::strerror(errno), temporary);
  while (!content.empty()) {
    const ssize_t written = ::write(fd.Get(), content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const std::string reason = std::strerror(errno);
      ::unlink(temporary.c_str());
      throw FileError("cannot write " + temporary + ": " + reason, temporary);
    }
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  if (!fd.Close() || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    throw FileError("cannot write " + path + ": " + reason, path);
  }
}

std::string PemText(const std::function<int(BIO*)>& write, const std::string& what) {
  const Bio bio(BIO_new(BIO_s_mem()));
  if (!bio || write(bio.get()) != 1) ThrowOpenSsl("cannot encode " + what);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.get(), &data);
  return std::string(data, static_cast<std::size_t>(size));
}

void WriteSet(const std::string& dir, const std::string& baseName, X509* certificate, EVP_PKEY* key) {
  const std::string keyPem = PemText(
      [key](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); },
      baseName + ".key");
  const std::string certificatePem =
      PemText([certificate](BIO* bio) { return PEM_write_bio_X509(bio, certificate); }, baseName + ".pem");
  // The key first: a certificate file present means its key is there too.
  WriteFileReplacing(dir + "/" + baseName + ".key", keyPem, 0600);
  WriteFileReplacing(dir + "/" + baseName + ".pem", certificatePem, 0644);
}

struct LoadedSet {
  Certificate certificate;
  Key key;
};

// The set when both files load and belong together.
std::optional<LoadedSet> LoadSet(const std::string& dir, const std::string& baseName) {
  const Bio certificateFile(BIO_new_file((dir + "/" + baseName + ".pem").c_str(), "r"));
  const Bio keyFile(BIO_new_file((dir + "/" + baseName + ".key").c_str(), "r"));
  LoadedSet set;
  if (certificateFile)
    set.certificate.reset(PEM_read_bio_X509(certificateFile.get(), nullptr, nullptr, nullptr));
  if (keyFile) set.key.reset(PEM_read_bio_PrivateKey(keyFile.get(), nullptr, nullptr, nullptr));
  ERR_clear_error();
  if (!set.certificate || !set.key || X509_check_private_key(set.certificate.get(), set.key.get()) != 1) {
    ERR_clear_error();
    return std::nullopt;
  }
  return set;
}

// Holds an exclusive lock on a file in dir, waiting a bounded time for another holder.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& dir)
      : fd_(::open((dir + "/.kxprovider-certs.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
    if (fd_.Get() < 0)
      throw FileError("cannot create a lock file in " + dir + ": " + std::strerror(errno), dir);
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (::flock(fd_.Get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        throw FileError("cannot lock " + dir + ": " + std::strerror(errno), dir);
      }
      if (std::chrono::steady_clock::now() > deadline) {
        throw FileError("another process holds the certificate lock of " + dir, dir);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

 private:
  FileDescriptor fd_;  // closing it releases the lock
};

}  // namespace

void MakeTestCertificates(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw FileError("cannot create the directory " + dir + ": " + error.message(), dir);
  const DirectoryLock lock(dir);

  std::optional<LoadedSet> ca = LoadSet(dir, "ca");
  const bool newCa = !ca;
  if (newCa) {
    LoadedSet made;
    made.key = MakeKey();
    made.certificate = MakeCertificate(kCaProfile, made.key.get(), nullptr, made.key.get());
    WriteSet(dir, "ca", made.certificate.get(), made.key.get());
    ca = std::move(made);
  }
  for (const ServerSet& set : kServerSets) {
    if (!newCa) {
      const std::optional<LoadedSet> existing = LoadSet(dir, set.baseName);
      if (existing && X509_check_issued(ca->certificate.get(), existing->certificate.get()) == X509_V_OK)
        continue;
    }
    const Key key = MakeKey();
    const Certificate certificate =
        MakeCertificate(set.profile, key.get(), ca->certificate.get(), ca->key.get());
    WriteSet(dir, set.baseName, certificate.get(), key.get());
  }
}

CertificateFiles ServerCertificateFiles(const std::string& dir, CertificateVariant variant) {
  const char* baseName = "server";
  if (variant == CertificateVariant::kExpired) baseName = "expired";
  if (variant == CertificateVariant::kWrongName) baseName = "wrongname";
  return CertificateFiles{dir + "/" + baseName + ".pem", dir + "/" + baseName + ".key"};
}

}  // namespace kx
