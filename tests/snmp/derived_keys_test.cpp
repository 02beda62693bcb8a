// Keys derived from passphrases, remembered or not: always the key the library derives for that
// protocol and passphrase, whatever was asked before.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "derived_keys.h"
#include "net_snmp_library.h"

namespace qiraoid {
namespace {

struct Protocol {
  const char* name;
  const oid* id;
  size_t length;
};

const Protocol kProtocols[] = {
    {"MD5", usmHMACMD5AuthProtocol, OID_LENGTH(usmHMACMD5AuthProtocol)},
    {"SHA", usmHMACSHA1AuthProtocol, OID_LENGTH(usmHMACSHA1AuthProtocol)},
    {"SHA-256", usmHMAC192SHA256AuthProtocol, OID_LENGTH(usmHMAC192SHA256AuthProtocol)},
    {"SHA-512", usmHMAC384SHA512AuthProtocol, OID_LENGTH(usmHMAC384SHA512AuthProtocol)},
};

std::string LibraryKey(const Protocol& protocol, const std::string& passphrase) {
  u_char key[USM_AUTH_KU_LEN];
  size_t length = sizeof key;
  EXPECT_EQ(generate_Ku(protocol.id, static_cast<u_int>(protocol.length),
                        reinterpret_cast<const u_char*>(passphrase.data()), passphrase.size(), key, &length),
            SNMPERR_SUCCESS);
  return std::string(reinterpret_cast<const char*>(key), length);
}

void ExpectLibraryKey(const Protocol& protocol, const std::string& passphrase) {
  const std::optional<std::string> key = DeriveKey(protocol.id, protocol.length, passphrase);
  ASSERT_TRUE(key.has_value()) << protocol.name << " " << passphrase;
  EXPECT_EQ(*key, LibraryKey(protocol, passphrase)) << protocol.name << " " << passphrase;
}

// The same passphrases under every protocol, each asked again after the others: a key remembered
// under the wrong protocol or passphrase would show.
TEST(DerivedKeys, EveryAskGivesTheLibrarysKey) {
  EnsureNetSnmpReady();
  const std::vector<std::string> passphrases = {"shared-phrase", "shared-phrase2", "other phrase", "shared-phrase"};
  for (int round = 0; round < 2; ++round) {
    for (const Protocol& protocol : kProtocols) {
      for (const std::string& passphrase : passphrases) ExpectLibraryKey(protocol, passphrase);
    }
  }
}

// More pairs than are remembered, then the first ones again, as after the oldest made room.
TEST(DerivedKeys, PairsAskedAfterTheyMadeRoomAreDerivedAgain) {
  EnsureNetSnmpReady();
  const Protocol& md5 = kProtocols[0];
  for (size_t i = 0; i < kRememberedKeys + 3; ++i) ExpectLibraryKey(md5, "phrase-" + std::to_string(i));
  for (size_t i = 0; i < 4; ++i) ExpectLibraryKey(md5, "phrase-" + std::to_string(i));
}

}  // namespace
}  // namespace qiraoid
