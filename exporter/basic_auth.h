// Basic authentication against bcrypt hashes, as Prometheus exporters keep them, checked by the
// system's libcrypt; no password or hash is ever put into a message.
// Threads: any; each check keeps libcrypt's state in a buffer of its own.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace qiraoid {

using BasicAuthUsers = std::map<std::string, std::string>;  // user name -> bcrypt hash

// Whether the text is a bcrypt hash ($2a$, $2b$ or $2y$) that libcrypt can check a password against.
bool IsBcryptHash(const std::string& text);

// Whether an Authorization header's value names one of the users with the password its hash was
// made from. An unknown user costs a hash check too, so that the time taken does not tell them.
bool Authorized(const BasicAuthUsers& users, std::string_view authorization);

}  // namespace qiraoid
