#pragma once

#include <string>

namespace kx {

// Which server certificate the HTTPS listener presents.
enum class CertificateVariant {
  kGood,       // server.pem: valid, names 127.0.0.1 and localhost
  kExpired,    // expired.pem: the same names, validity ended yesterday
  kWrongName,  // wrongname.pem: valid, names only wrong.example
};

struct CertificateFiles {
  std::string certificate;
  std::string privateKey;
};

// Creates in dir (made if missing) the test CA (ca.pem, ca.key) and the three server sets signed
// by it, keeping every set that is already complete: both files load and belong together. A new
// CA makes all server sets anew. A lock file in dir serialises concurrent callers. Raises Error.
void MakeTestCertificates(const std::string& dir);

CertificateFiles ServerCertificateFiles(const std::string& dir, CertificateVariant variant);

}  // namespace kx
