// Access settings as appSetting gives them: what is taken, and what is refused and why.
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "access_settings.h"
#include "net_snmp_library.h"
#include "parse_json.h"

namespace qiraoid {
namespace {

std::variant<AccessSettings, AccessRefusal> Read(const std::string& members) {
  EnsureNetSnmpReady();
  return ReadAccessSettings(ParseJson("{" + members + "}"));
}

const char kV3[] = R"("snmp_version":"3","security_name":"alice",)";

TEST(AccessSettings, RefusedSettingsNameTheirKey) {
  const struct {
    std::string members;
    const char* key;
  } rows[] = {
      {R"("community":"")", "community"},
      {R"("community":{})", "community"},
      {R"("snmp_version":"1")", "snmp_version"},
      {R"("snmp_version":"3")", "security_name"},
      {R"("snmp_version":"3","security_name":"123456789012345678901234567890123")", "security_name"},
      {std::string(kV3) + R"("security_level":"authAndMore")", "security_level"},
      {std::string(kV3) + R"("security_level":"authNoPriv","auth_protocol":"SHA-999","auth_passphrase":"12345678")",
       "auth_protocol"},
      {std::string(kV3) + R"("security_level":"authNoPriv","auth_protocol":"SHA","auth_passphrase":"1234567")",
       "auth_passphrase"},
      {std::string(kV3) + R"("security_level":"authPriv","auth_protocol":"SHA","auth_passphrase":"12345678")",
       "priv_protocol"},
      {std::string(kV3) + R"("security_level":"authPriv","auth_protocol":"SHA","auth_passphrase":"12345678",
       "priv_protocol":"AES")", "priv_passphrase"},
      {R"("timeout_seconds":0)", "timeout_seconds"},
      {R"("timeout_seconds":"ten")", "timeout_seconds"},
      {R"("timeout_seconds":"5s")", "timeout_seconds"},
      {R"("timeout_seconds":601)", "timeout_seconds"},
      {R"("retries":-1)", "retries"},
      {R"("retries":"11")", "retries"},
      {R"("retransmission":"exponential")", "retransmission"},
      {R"("retransmission":1)", "retransmission"},
      {R"("retransmission":"Adaptive")", "retransmission"},
  };
  for (const auto& row : rows) {
    const auto read = Read(row.members);
    ASSERT_TRUE(std::holds_alternative<AccessRefusal>(read)) << row.members;
    EXPECT_EQ(std::get<AccessRefusal>(read).key, row.key) << row.members;
  }
}

TEST(AccessSettings, TakenSettingsBecomeTheSessionTemplate) {
  const auto v2c = Read(R"("community":"elsewhere","timeout_seconds":"2.5","retries":3)");
  ASSERT_TRUE(std::holds_alternative<AccessSettings>(v2c));
  netsnmp_session session;
  snmp_sess_init(&session);
  ApplyAccess(std::get<AccessSettings>(v2c), &session);
  EXPECT_EQ(session.version, SNMP_VERSION_2c);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(session.community), session.community_len), "elsewhere");
  EXPECT_EQ(session.timeout, 2500000);
  EXPECT_EQ(session.retries, 3);
  EXPECT_TRUE(std::get<AccessSettings>(v2c).adaptive_retransmission);  // the default
  for (const auto& [text, adaptive] : {std::pair{"fixed", false}, std::pair{"adaptive", true}}) {
    const auto read = Read(std::string(R"("retransmission":")") + text + "\"");
    ASSERT_TRUE(std::holds_alternative<AccessSettings>(read)) << text;
    EXPECT_EQ(std::get<AccessSettings>(read).adaptive_retransmission, adaptive) << text;
  }

  // Each protocol by its name, with a key as long as its hash.
  const struct {
    const char* auth;
    size_t key_length;
  } auths[] = {{"MD5", 16}, {"SHA", 20}, {"SHA-224", 28}, {"SHA-256", 32}, {"SHA-384", 48}, {"SHA-512", 64}};
  for (const auto& auth : auths) {
    for (const char* priv : {"DES", "AES", "AES-192", "AES-256"}) {
      const auto v3 = Read(std::string(kV3) + R"("security_level":"authPriv","auth_protocol":")" + auth.auth +
                           R"(","auth_passphrase":"auth-pass","priv_protocol":")" + priv +
                           R"(","priv_passphrase":"priv-pass","context_name":"ctx","timeout_seconds":0.05})");
      ASSERT_TRUE(std::holds_alternative<AccessSettings>(v3)) << auth.auth << " " << priv;
      snmp_sess_init(&session);
      ApplyAccess(std::get<AccessSettings>(v3), &session);
      EXPECT_EQ(session.version, SNMP_VERSION_3);
      EXPECT_EQ(std::string(session.securityName, session.securityNameLen), "alice");
      EXPECT_EQ(std::string(session.contextName, session.contextNameLen), "ctx");
      EXPECT_EQ(session.securityLevel, SNMP_SEC_LEVEL_AUTHPRIV);
      EXPECT_EQ(session.securityAuthKeyLen, auth.key_length) << auth.auth;
      EXPECT_EQ(session.securityPrivKeyLen, auth.key_length) << auth.auth;
      EXPECT_EQ(session.timeout, 50000);
    }
  }
}

}  // namespace
}  // namespace qiraoid
