// The words each rule gives for what its key needs: a refusal prints them as they are, so the words
// made from a rule's limits and names read exactly as an operator has always been told.
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "setting_rules.h"

namespace qiraoid {
namespace {

TEST(SettingRules, EachKeySaysWhatItNeedsInTheOperatorsWords) {
  const struct {
    const char* key;
    const char* needs;
  } rows[] = {
      {"max_repetitions", "a whole number from 1 to 100"},
      {"retransmission", "\"fixed\" or \"adaptive\""},
      {"community", "a text that is not empty"},
      {"snmp_version", "\"2c\" or \"3\""},
      {"security_name", "a user name of 1 to 32 characters for SNMPv3"},
      {"security_level", "noAuthNoPriv, authNoPriv or authPriv"},
      {"auth_protocol", "MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512"},
      {"auth_passphrase", "a passphrase of at least 8 characters"},
      {"priv_protocol", "DES, AES, AES-192 or AES-256"},
      {"priv_passphrase", "a passphrase of at least 8 characters"},
      {"context_name", "a text"},
      {"timeout_seconds", "a number of seconds from 0.001 to 600"},
      {"retries", "a whole number from 0 to 10"},
  };
  const std::vector<KnownSetting>& settings = CoreSettings();
  ASSERT_EQ(settings.size(), std::size(rows));
  for (size_t i = 0; i < settings.size(); ++i) {
    EXPECT_EQ(settings[i].key, std::string(rows[i].key));
    EXPECT_EQ(settings[i].needs, rows[i].needs) << rows[i].key;
  }
}

}  // namespace
}  // namespace qiraoid
