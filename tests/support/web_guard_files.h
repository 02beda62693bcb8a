// What a test of --web-config needs on disk and in hand: a self-signed certificate for 127.0.0.1
// made by the openssl command, and bcrypt hashes made by the system's libcrypt.
#pragma once

#include <string>

struct CertificateFiles {
  std::string cert;  // also the CA file a client checks it with
  std::string key;
};

// Writes cert.pem and key.pem (an EC key, unencrypted) into the directory.
CertificateFiles WriteSelfSignedCertificate(const std::string& dir);

// A $2b$ bcrypt hash of the password, of the lowest cost libcrypt makes, so that tests stay quick.
std::string BcryptHash(const std::string& password);
