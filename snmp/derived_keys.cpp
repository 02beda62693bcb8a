#include "derived_keys.h"

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "mutex.h"

namespace qiraoid {

namespace {

struct Remembered {
  std::string digest;  // of the protocol and the passphrase
  std::string key;
};

// A salt drawn once per process: a digest seen in a memory dump cannot be tried against a list of
// passphrases any faster than the derivation itself.
const std::string& ProcessSalt() {
  static const std::string salt = [] {
    std::random_device source;
    std::string drawn;
    for (int i = 0; i < 8; ++i) {
      const unsigned int word = source();
      drawn.append(reinterpret_cast<const char*>(&word), sizeof word);
    }
    return drawn;
  }();
  return salt;
}

// What a pair is remembered by: SHA-256 of the process's salt, the protocol's OID and the passphrase.
std::optional<std::string> DigestOf(const oid* protocol, std::size_t protocol_length, const std::string& passphrase) {
  std::string input = ProcessSalt();
  input.append(reinterpret_cast<const char*>(protocol), protocol_length * sizeof(oid));
  input += passphrase;
  u_char digest[32];
  size_t digest_length = sizeof digest;
  if (sc_hash(usmHMAC192SHA256AuthProtocol, OID_LENGTH(usmHMAC192SHA256AuthProtocol),
              reinterpret_cast<const u_char*>(input.data()), input.size(), digest, &digest_length) != SNMPERR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(digest), digest_length);
}

std::optional<std::string> Derive(const oid* protocol, std::size_t protocol_length, const std::string& passphrase) {
  u_char derived[USM_AUTH_KU_LEN];
  size_t derived_length = sizeof derived;
  if (generate_Ku(protocol, static_cast<u_int>(protocol_length), reinterpret_cast<const u_char*>(passphrase.data()),
                  passphrase.size(), derived, &derived_length) != SNMPERR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(derived), derived_length);
}

// Most recently used last.
class KeyMemory {
 public:
  std::optional<std::string> Find(const std::string& digest) EXCLUDES(mutex_) {
    MutexLock guard(&mutex_);
    const auto found = std::find_if(keys_.begin(), keys_.end(), [&](const Remembered& r) { return r.digest == digest; });
    if (found == keys_.end()) return std::nullopt;
    std::rotate(found, found + 1, keys_.end());
    return keys_.back().key;
  }

  // Two threads may derive the same pair at once; it is kept once.
  void Keep(std::string digest, std::string key) EXCLUDES(mutex_) {
    MutexLock guard(&mutex_);
    if (std::any_of(keys_.begin(), keys_.end(), [&](const Remembered& r) { return r.digest == digest; })) return;
    if (keys_.size() == kRememberedKeys) keys_.erase(keys_.begin());
    keys_.push_back({std::move(digest), std::move(key)});
  }

 private:
  Mutex mutex_;
  std::vector<Remembered> keys_ GUARDED_BY(mutex_);
};

KeyMemory& Memory() {
  static KeyMemory memory;
  return memory;
}

}  // namespace

std::optional<std::string> DeriveKey(const oid* auth_protocol, std::size_t auth_protocol_length,
                                     const std::string& passphrase) {
  const std::optional<std::string> digest = DigestOf(auth_protocol, auth_protocol_length, passphrase);
  if (!digest) return Derive(auth_protocol, auth_protocol_length, passphrase);
  if (std::optional<std::string> known = Memory().Find(*digest)) return known;
  std::optional<std::string> key = Derive(auth_protocol, auth_protocol_length, passphrase);
  if (key) Memory().Keep(*digest, *key);
  return key;
}

}  // namespace qiraoid
