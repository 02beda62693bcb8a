#include "web_config.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include <boost/asio/ssl/context.hpp>
#include <openssl/ssl.h>
#include <yaml-cpp/yaml.h>

namespace qiraoid {

namespace {

namespace ssl = boost::asio::ssl;

// The keys read: at the top, the TLS part and the users; in the TLS part, its two files.
constexpr char kTls[] = "tls_server_config";
constexpr char kUsers[] = "basic_auth_users";
constexpr char kCertFile[] = "cert_file";
constexpr char kKeyFile[] = "key_file";
const std::vector<std::string> kTopKeys = {kTls, kUsers};
const std::vector<std::string> kTlsKeys = {kCertFile, kKeyFile};

std::string Listed(const std::vector<std::string>& keys) {
  std::string text;
  for (const std::string& key : keys) text += (text.empty() ? "" : ", ") + key;
  return text;
}

// "not a key zrmhost reads; it reads tls_server_config (cert_file, key_file) and basic_auth_users"
std::string NotRead(const std::string& program) {
  return "not a key " + program + " reads; it reads " + kTls + " (" + Listed(kTlsKeys) + ") and " + kUsers;
}

// A file the configuration names, relative to the configuration's own directory.
std::string Beside(const std::string& config, const std::string& file) {
  const std::filesystem::path path(file);
  return path.is_absolute() ? file : (std::filesystem::path(config).parent_path() / path).string();
}

std::string Unreadable(const std::string& file) {
  std::ifstream in(file);
  return in ? "" : "cannot read " + file + ": " + std::strerror(errno);
}

// Each key of the map that is not one of `known`, as a problem under `where`.
void TellUnknownKeys(const YAML::Node& map, const std::string& where, const std::vector<std::string>& known,
                     const std::string& program, std::vector<std::string>* problems) {
  for (const auto& entry : map) {
    const std::string key = entry.first.Scalar();
    if (std::find(known.begin(), known.end(), key) == known.end()) {
      problems->push_back(where + key + ": " + NotRead(program));
    }
  }
}

// The text of a key that must be present and text.
std::string TextOf(const YAML::Node& map, const std::string& key, const std::string& where,
                   std::vector<std::string>* problems) {
  const YAML::Node value = map[key];
  if (!value || value.IsNull()) {
    problems->push_back(where + key + ": missing");
  } else if (!value.IsScalar() || value.Scalar().empty()) {
    problems->push_back(where + key + ": wants a file name");
  } else {
    return value.Scalar();
  }
  return "";
}

// The server's context from the certificate (chain) and its key, both PEM; TLS 1.2 at least, as
// the exporters default to.
std::shared_ptr<ssl::context> TlsContext(const std::string& cert, const std::string& key,
                                         std::vector<std::string>* problems) {
  const std::string cert_problem = Unreadable(cert);
  const std::string key_problem = Unreadable(key);
  const std::string cert_key = std::string(kTls) + "." + kCertFile + ": ";
  const std::string key_key = std::string(kTls) + "." + kKeyFile + ": ";
  if (!cert_problem.empty()) problems->push_back(cert_key + cert_problem);
  if (!key_problem.empty()) problems->push_back(key_key + key_problem);
  if (!cert_problem.empty() || !key_problem.empty()) return nullptr;
  auto context = std::make_shared<ssl::context>(ssl::context::tls_server);
  context->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                       ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1);
  // An encrypted key is refused rather than asked for on the terminal.
  context->set_password_callback([](std::size_t, ssl::context::password_purpose) { return std::string(); });
  boost::system::error_code error;
  context->use_certificate_chain_file(cert, error);
  if (error) {
    problems->push_back(cert_key + cert + " is not a PEM certificate: " + error.message());
    return nullptr;
  }
  context->use_private_key_file(key, ssl::context::pem, error);
  if (error) {
    problems->push_back(key_key + key + " is not an unencrypted PEM private key: " + error.message());
    return nullptr;
  }
  if (SSL_CTX_check_private_key(context->native_handle()) != 1) {
    problems->push_back(key_key + key + " is not the key of " + kCertFile + "'s certificate");
    return nullptr;
  }
  return context;
}

void ReadTls(const YAML::Node& node, const std::string& path, const std::string& program, WebGuard* guard,
             std::vector<std::string>* problems) {
  if (!node.IsMap()) return problems->push_back(std::string(kTls) + ": wants " + kCertFile + " and " + kKeyFile);
  const std::string where = std::string(kTls) + ".";
  TellUnknownKeys(node, where, kTlsKeys, program, problems);
  const std::string cert = TextOf(node, kCertFile, where, problems);
  const std::string key = TextOf(node, kKeyFile, where, problems);
  if (!cert.empty() && !key.empty()) guard->tls = TlsContext(Beside(path, cert), Beside(path, key), problems);
}

void ReadUsers(const YAML::Node& node, WebGuard* guard, std::vector<std::string>* problems) {
  if (!node.IsMap()) return problems->push_back(std::string(kUsers) + ": wants user names, each with a bcrypt hash");
  for (const auto& entry : node) {
    const std::string user = entry.first.IsScalar() ? entry.first.Scalar() : "";
    if (user.empty() || user.find(':') != std::string::npos) {
      problems->push_back(std::string(kUsers) + ": a user name must be text without a colon");
    } else if (!entry.second.IsScalar() || !IsBcryptHash(entry.second.Scalar())) {
      problems->push_back(std::string(kUsers) + "." + user + ": not a bcrypt hash ($2a$, $2b$ or $2y$)");
    } else {
      guard->users[user] = entry.second.Scalar();
    }
  }
}

}  // namespace

std::string WebConfigKeys() { return Listed(kTopKeys); }

std::vector<std::string> ReadWebConfig(const std::string& path, const std::string& program, WebGuard* guard) {
  std::vector<std::string> problems;
  if (!std::ifstream(path)) return {std::string("cannot be read: ") + std::strerror(errno)};
  YAML::Node loaded;
  try {
    loaded = YAML::LoadFile(path);
  } catch (const YAML::Exception& error) {
    return {"line " + std::to_string(error.mark.line + 1) + ": not YAML: " + error.msg};
  }
  const YAML::Node& root = loaded;
  if (root.IsNull()) return {};  // empty: neither TLS nor authentication, as for the exporters
  if (!root.IsMap()) return {std::string("wants ") + kTls + " and/or " + kUsers + " at the top"};
  TellUnknownKeys(root, "", kTopKeys, program, &problems);
  WebGuard read;
  if (root[kTls] && !root[kTls].IsNull()) ReadTls(root[kTls], path, program, &read, &problems);
  if (root[kUsers] && !root[kUsers].IsNull()) ReadUsers(root[kUsers], &read, &problems);
  if (problems.empty()) *guard = std::move(read);
  return problems;
}

}  // namespace qiraoid
