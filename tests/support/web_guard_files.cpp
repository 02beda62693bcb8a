#include "web_guard_files.h"

#include <crypt.h>

#include <memory>
#include <stdexcept>

#include "subprocess.h"

CertificateFiles WriteSelfSignedCertificate(const std::string& dir) {
  const CertificateFiles files{dir + "/cert.pem", dir + "/key.pem"};
  const ProcessResult made = RunProcess({"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                         "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", files.key, "-out",
                                         files.cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                         "subjectAltName=IP:127.0.0.1"});
  if (made.exit_code != 0) throw std::runtime_error("openssl req failed: " + made.err);
  return files;
}

std::string BcryptHash(const std::string& password) {
  char salt[CRYPT_GENSALT_OUTPUT_SIZE];
  if (crypt_gensalt_rn("$2b$", 4, nullptr, 0, salt, sizeof salt) == nullptr) {
    throw std::runtime_error("libcrypt makes no bcrypt salt");
  }
  const auto data = std::make_unique<crypt_data>();
  const char* const hash = crypt_rn(password.c_str(), salt, data.get(), sizeof *data);
  if (hash == nullptr || hash[0] == '*') throw std::runtime_error("libcrypt makes no bcrypt hash");
  return hash;
}
