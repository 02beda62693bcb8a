// A device's own keys are the very keys the library would localize for the user it makes itself,
// for every auth and priv protocol the settings take (AES-192 and AES-256 from the shorter hashes
// need their key extended), so installing them changes nothing on the wire for an agent whose
// engine no other device shares.
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "access_settings.h"
#include "net_snmp_library.h"
#include "own_security_state.h"
#include "parse_json.h"

namespace qiraoid {
namespace {

std::string Bytes(const u_char* data, size_t length) { return std::string(reinterpret_cast<const char*>(data), length); }

TEST(LocalizedUser, KeysAreTheOnesTheLibraryMakesForEveryProtocolPair) {
  EnsureNetSnmpReady();
  int engine = 0;
  for (const char* auth : {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"}) {
    for (const char* priv : {"DES", "AES", "AES-192", "AES-256"}) {
      SCOPED_TRACE(std::string(auth) + " " + priv);
      const auto read = ReadAccessSettings(ParseJson(
          std::string(R"({"snmp_version":"3","security_name":"dora","security_level":"authPriv","auth_protocol":")") +
          auth + R"(","auth_passphrase":"dora-auth-1","priv_protocol":")" + priv +
          R"(","priv_passphrase":"dora-priv-22"})"));
      ASSERT_TRUE(std::holds_alternative<AccessSettings>(read));
      const AccessSettings& settings = std::get<AccessSettings>(read);
      netsnmp_session session;
      snmp_sess_init(&session);
      ApplyAccess(settings, &session);
      session.securityModel = SNMP_SEC_MODEL_USM;
      std::string engine_id = "\x80\x00\x1f\x88\x04test-engine-" + std::to_string(++engine);
      session.securityEngineID = reinterpret_cast<u_char*>(engine_id.data());
      session.securityEngineIDLen = engine_id.size();

      const SecurityStateLock guard;
      ASSERT_EQ(usm_create_user_from_session(&session), SNMPERR_SUCCESS);
      usmUser* made = usm_get_user(session.securityEngineID, session.securityEngineIDLen, "dora");
      ASSERT_NE(made, nullptr);
      const std::string auth_key = Bytes(made->authKey, made->authKeyLen);
      const std::string priv_key = Bytes(made->privKey, made->privKeyLen);
      // Another device's keys for the same engine and name were there; ours replace them.
      made->authKey[0] ^= 1;
      made->privKey[0] ^= 1;

      LocalizedUser own;
      ASSERT_TRUE(own.Localize(session));
      own.Install();
      EXPECT_EQ(Bytes(made->authKey, made->authKeyLen), auth_key);
      EXPECT_EQ(Bytes(made->privKey, made->privKeyLen), priv_key);
    }
  }
}

}  // namespace
}  // namespace qiraoid
