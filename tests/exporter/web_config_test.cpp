// The reader of --web-config against good and bad files: what a good one turns on, and for a bad
// one the key each problem names, never the hash.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "web_config.h"
#include "web_guard_files.h"

namespace qiraoid {
namespace {

const char kNotAHash[] = "s3cret-not-a-hash";

struct Case {
  const char* what;
  // "{cert}", "{key}" and "{hash}" stand for a certificate, its key and a good bcrypt hash,
  // "{other_key}" for another certificate's key; nullptr: no file at all.
  const char* text;
  const char* problem;  // a part of the only problem, or nullptr for a good file
  bool tls;
  std::size_t users;
};

const Case kCases[] = {
    {"empty: neither TLS nor users", "", nullptr, false, 0},
    {"TLS only", "tls_server_config:\n  cert_file: {cert}\n  key_file: {key}\n", nullptr, true, 0},
    {"files relative to the configuration", "tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n",
     nullptr, true, 0},
    {"users only", "basic_auth_users:\n  alice: {hash}\n  bob: {hash}\n", nullptr, false, 2},
    {"both", "tls_server_config:\n  cert_file: {cert}\n  key_file: {key}\nbasic_auth_users:\n  alice: {hash}\n",
     nullptr, true, 1},
    {"no file", nullptr, "cannot be read: No such file or directory", false, 0},
    {"not YAML", "tls_server_config:\n  cert_file: [a\n", "line 3: not YAML", false, 0},
    {"not a map", "- a\n", "wants tls_server_config and/or basic_auth_users", false, 0},
    {"unknown key", "http_server_config:\n  http2: true\n", "http_server_config: not a key zrmhost reads", false, 0},
    {"unknown TLS key", "tls_server_config:\n  cert_file: {cert}\n  key_file: {key}\n  client_auth_type: x\n",
     "tls_server_config.client_auth_type: not a key zrmhost reads", false, 0},
    {"no key file", "tls_server_config:\n  cert_file: {cert}\n", "tls_server_config.key_file: missing", false, 0},
    {"no certificate file", "tls_server_config:\n  key_file: {key}\n", "tls_server_config.cert_file: missing", false, 0},
    {"missing certificate", "tls_server_config:\n  cert_file: absent.pem\n  key_file: {key}\n",
     "tls_server_config.cert_file: cannot read", false, 0},
    {"certificate not PEM", "tls_server_config:\n  cert_file: not-pem.txt\n  key_file: {key}\n",
     "tls_server_config.cert_file: ", false, 0},
    {"key not the certificate's", "tls_server_config:\n  cert_file: {cert}\n  key_file: {other_key}\n",
     "tls_server_config.key_file: ", false, 0},
    {"key file a certificate", "tls_server_config:\n  cert_file: {cert}\n  key_file: {cert}\n",
     "tls_server_config.key_file: ", false, 0},
    {"not a bcrypt hash", "basic_auth_users:\n  alice: s3cret-not-a-hash\n", "basic_auth_users.alice: not a bcrypt hash",
     false, 0},
    {"a hash of another kind", "basic_auth_users:\n  alice: $6$salt$s3cret-not-a-hash\n",
     "basic_auth_users.alice: not a bcrypt hash", false, 0},
    {"users not a map", "basic_auth_users: alice\n", "basic_auth_users: wants user names", false, 0},
};

std::string Filled(std::string text, const std::string& dir, const std::string& other_key, const std::string& hash) {
  const std::pair<std::string, std::string> names[] = {
      {"{cert}", dir + "/cert.pem"}, {"{key}", dir + "/key.pem"}, {"{other_key}", other_key}, {"{hash}", hash}};
  for (const auto& [name, value] : names) {
    for (auto at = text.find(name); at != std::string::npos; at = text.find(name)) text.replace(at, name.size(), value);
  }
  return text;
}

TEST(WebConfig, GoodFilesGuardAndBadOnesNameTheirKey) {
  ScratchDir dir;
  WriteSelfSignedCertificate(dir.path());
  ScratchDir other;
  const std::string other_key = WriteSelfSignedCertificate(other.path()).key;
  dir.Write("not-pem.txt", "not a certificate\n");
  const std::string hash = BcryptHash("pw");

  for (const Case& test : kCases) {
    const std::string path = dir.path() + "/web.yml";
    std::remove(path.c_str());
    if (test.text != nullptr) dir.Write("web.yml", Filled(test.text, dir.path(), other_key, hash));
    WebGuard guard;
    const std::vector<std::string> problems = ReadWebConfig(path, "zrmhost", &guard);
    if (test.problem == nullptr) {
      EXPECT_TRUE(problems.empty()) << test.what << ": " << problems.front();
      EXPECT_EQ(guard.tls != nullptr, test.tls) << test.what;
      EXPECT_EQ(guard.users.size(), test.users) << test.what;
      continue;
    }
    ASSERT_EQ(problems.size(), 1u) << test.what;
    EXPECT_NE(problems[0].find(test.problem), std::string::npos) << test.what << ": " << problems[0];
    EXPECT_EQ(problems[0].find(kNotAHash), std::string::npos) << test.what << ": " << problems[0];
    EXPECT_EQ(guard.tls, nullptr) << test.what;
    EXPECT_TRUE(guard.users.empty()) << test.what;
  }
}

}  // namespace
}  // namespace qiraoid
