// The web configuration Prometheus exporters read (YAML), of which the exporter takes
// tls_server_config's cert_file and key_file (HTTPS; files named relative to the configuration's
// directory) and basic_auth_users (user name: bcrypt hash).
// Threads: read on the main thread before the server starts; the server only reads the guard.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "basic_auth.h"

namespace boost::asio::ssl {
class context;
}

namespace qiraoid {

struct WebGuard {
  std::shared_ptr<boost::asio::ssl::context> tls;  // none: plain HTTP
  BasicAuthUsers users;                            // none: no authentication
};

// Every problem of the file, each naming its key and never a hash, as "KEY: what is wrong"; the
// guard it describes when there is none. `program` names the reader in the problems ("not a key
// zrmhost reads").
std::vector<std::string> ReadWebConfig(const std::string& path, const std::string& program, WebGuard* guard);

// The keys read at the top of the file, "tls_server_config, basic_auth_users", for a program's help.
std::string WebConfigKeys();

}  // namespace qiraoid
