#include "basic_auth.h"

#include <crypt.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <regex>

#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace qiraoid {

namespace {

struct Credentials {
  std::string user;
  std::string password;
};

// The password's hash with the stored hash's salt and cost, or "" when libcrypt refuses.
std::string Rehash(const std::string& password, const std::string& hash) {
  const auto data = std::make_unique<crypt_data>();  // too large for a thread's stack
  const char* const made = crypt_rn(password.c_str(), hash.c_str(), data.get(), sizeof *data);
  return made != nullptr && made[0] != '*' ? made : "";
}

bool Matches(const std::string& password, const std::string& hash) {
  const std::string made = Rehash(password, hash);
  return made.size() == hash.size() && CRYPTO_memcmp(made.data(), hash.data(), hash.size()) == 0;
}

std::optional<std::string> Base64Decoded(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  std::string decoded(text.size() / 4 * 3, '\0');
  const int size = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(decoded.data()),
                                   reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (size < 0) return std::nullopt;
  const std::size_t padding = text.size() - text.find_last_not_of('=') - 1;
  decoded.resize(static_cast<std::size_t>(size) - std::min<std::size_t>(padding, 2));
  return decoded;
}

// "Basic BASE64(user:password)", the scheme's name in any case.
std::optional<Credentials> CredentialsOf(std::string_view authorization) {
  const std::string_view scheme = "basic ";
  if (authorization.size() <= scheme.size() ||
      !std::equal(scheme.begin(), scheme.end(), authorization.begin(),
                  [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
    return std::nullopt;
  }
  std::string_view encoded = authorization.substr(scheme.size());
  while (!encoded.empty() && encoded.front() == ' ') encoded.remove_prefix(1);
  const std::optional<std::string> decoded = Base64Decoded(encoded);
  if (!decoded) return std::nullopt;
  const std::size_t colon = decoded->find(':');
  // A password with a NUL byte would be cut short by libcrypt.
  if (colon == std::string::npos || decoded->find('\0') != std::string::npos) return std::nullopt;
  return Credentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

}  // namespace

bool IsBcryptHash(const std::string& text) {
  static const std::regex kBcrypt(R"(\$2[aby]\$[0-9]{2}\$[./A-Za-z0-9]{53})");
  return std::regex_match(text, kBcrypt) && !Rehash("", text).empty();
}

bool Authorized(const BasicAuthUsers& users, std::string_view authorization) {
  if (users.empty()) return false;
  const std::optional<Credentials> credentials = CredentialsOf(authorization);
  if (!credentials) return false;
  const auto user = users.find(credentials->user);
  if (user == users.end()) {
    Matches(credentials->password, users.begin()->second);
    return false;
  }
  return Matches(credentials->password, user->second);
}

}  // namespace qiraoid
