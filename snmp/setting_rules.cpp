#include "setting_rules.h"

#include <cmath>

#include "app_setting.h"

namespace qiraoid {

namespace {

constexpr long kFewestRepetitions = 1, kMostRepetitions = 100;
constexpr long kFewestRetries = 0, kMostRetries = 10;
constexpr double kShortestTimeoutSeconds = 0.001, kLongestTimeoutSeconds = 600;
constexpr size_t kShortestPassphrase = 8;  // what SNMPv3 (RFC 3414) asks of a passphrase
constexpr size_t kLongestSecurityName = 32;

const SnmpProtocol kAuthProtocols[] = {
    {"MD5", usmHMACMD5AuthProtocol, OID_LENGTH(usmHMACMD5AuthProtocol)},
    {"SHA", usmHMACSHA1AuthProtocol, OID_LENGTH(usmHMACSHA1AuthProtocol)},
    {"SHA-224", usmHMAC128SHA224AuthProtocol, OID_LENGTH(usmHMAC128SHA224AuthProtocol)},
    {"SHA-256", usmHMAC192SHA256AuthProtocol, OID_LENGTH(usmHMAC192SHA256AuthProtocol)},
    {"SHA-384", usmHMAC256SHA384AuthProtocol, OID_LENGTH(usmHMAC256SHA384AuthProtocol)},
    {"SHA-512", usmHMAC384SHA512AuthProtocol, OID_LENGTH(usmHMAC384SHA512AuthProtocol)},
};

const SnmpProtocol kPrivProtocols[] = {
    {"DES", usmDESPrivProtocol, OID_LENGTH(usmDESPrivProtocol)},
    {"AES", usmAESPrivProtocol, OID_LENGTH(usmAESPrivProtocol)},
    {"AES-192", usmAES192PrivProtocol, OID_LENGTH(usmAES192PrivProtocol)},
    {"AES-256", usmAES256PrivProtocol, OID_LENGTH(usmAES256PrivProtocol)},
};

const struct {
  const char* name;
  int level;
} kSecurityLevels[] = {
    {"noAuthNoPriv", SNMP_SEC_LEVEL_NOAUTH},
    {"authNoPriv", SNMP_SEC_LEVEL_AUTHNOPRIV},
    {"authPriv", SNMP_SEC_LEVEL_AUTHPRIV},
};

template <typename Row, size_t N>
const Row* Named(const Row (&rows)[N], const Json::Value& value) {
  const std::optional<std::string> name = TextSetting(value);
  if (!name) return nullptr;
  for (const Row& row : rows) {
    if (*name == row.name) return &row;
  }
  return nullptr;
}

// The row named, as a setting's value; nothing when no row has the name.
std::optional<const SnmpProtocol*> Found(const SnmpProtocol* row) {
  if (row == nullptr) return std::nullopt;
  return row;
}

std::optional<long> Repetitions(const Json::Value& value) {
  return WholeNumberSetting(value, kFewestRepetitions, kMostRepetitions);
}

std::optional<bool> Adaptive(const Json::Value& value) {
  const std::optional<std::string> rule = TextSetting(value);
  if (rule != "adaptive" && rule != "fixed") return std::nullopt;
  return rule == "adaptive";
}

std::optional<std::string> Community(const Json::Value& value) {
  std::optional<std::string> text = TextSetting(value);
  if (!text || text->empty() || text->find('\0') != std::string::npos) return std::nullopt;
  return text;
}

std::optional<long> Version(const Json::Value& value) {
  const std::optional<std::string> text = TextSetting(value);
  if (text == "2c") return SNMP_VERSION_2c;
  if (text == "3") return SNMP_VERSION_3;
  return std::nullopt;
}

std::optional<std::string> SecurityName(const Json::Value& value) {
  std::optional<std::string> text = TextSetting(value);
  if (!text || text->empty() || text->size() > kLongestSecurityName) return std::nullopt;
  return text;
}

std::optional<int> SecurityLevel(const Json::Value& value) {
  const auto* level = Named(kSecurityLevels, value);
  if (level == nullptr) return std::nullopt;
  return level->level;
}

std::optional<const SnmpProtocol*> AuthProtocol(const Json::Value& value) {
  return Found(Named(kAuthProtocols, value));
}

std::optional<const SnmpProtocol*> PrivProtocol(const Json::Value& value) {
  return Found(Named(kPrivProtocols, value));
}

std::optional<std::string> Passphrase(const Json::Value& value) {
  std::optional<std::string> text = TextSetting(value);
  if (!text || text->size() < kShortestPassphrase) return std::nullopt;
  return text;
}

std::optional<long> TimeoutMicroseconds(const Json::Value& value) {
  const std::optional<double> seconds = SecondsSetting(value);
  if (!seconds || !(*seconds >= kShortestTimeoutSeconds && *seconds <= kLongestTimeoutSeconds)) {
    return std::nullopt;
  }
  return std::lround(*seconds * 1e6);
}

std::optional<long> Retries(const Json::Value& value) {
  return WholeNumberSetting(value, kFewestRetries, kMostRetries);
}

}  // namespace

const SettingRule<long> kMaxRepetitionsRule = {"max_repetitions", "a whole number from 1 to 100", Repetitions};
const SettingRule<bool> kRetransmissionRule = {"retransmission", "\"fixed\" or \"adaptive\"", Adaptive};
const SettingRule<std::string> kCommunityRule = {"community", "a text that is not empty", Community};
const SettingRule<long> kSnmpVersionRule = {"snmp_version", "\"2c\" or \"3\"", Version};
const SettingRule<std::string> kSecurityNameRule = {"security_name", "a user name of 1 to 32 characters for SNMPv3",
                                                    SecurityName};
const SettingRule<int> kSecurityLevelRule = {"security_level", "noAuthNoPriv, authNoPriv or authPriv",
                                             SecurityLevel};
const SettingRule<const SnmpProtocol*> kAuthProtocolRule = {
    "auth_protocol", "MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512", AuthProtocol};
const SettingRule<std::string> kAuthPassphraseRule = {"auth_passphrase", "a passphrase of at least 8 characters",
                                                      Passphrase};
const SettingRule<const SnmpProtocol*> kPrivProtocolRule = {"priv_protocol", "DES, AES, AES-192 or AES-256",
                                                            PrivProtocol};
const SettingRule<std::string> kPrivPassphraseRule = {"priv_passphrase", "a passphrase of at least 8 characters",
                                                      Passphrase};
const SettingRule<std::string> kContextNameRule = {"context_name", "a text", TextSetting};
const SettingRule<long> kTimeoutRule = {"timeout_seconds", "a number of seconds from 0.001 to 600",
                                        TimeoutMicroseconds};
const SettingRule<long> kRetriesRule = {"retries", "a whole number from 0 to 10", Retries};

const std::vector<KnownSetting>& CoreSettings() {
  static const std::vector<KnownSetting> rows = {
      RowOf<long, kMaxRepetitionsRule>(false),
      RowOf<bool, kRetransmissionRule>(true),
      RowOf<std::string, kCommunityRule>(true),
      RowOf<long, kSnmpVersionRule>(true),
      RowOf<std::string, kSecurityNameRule>(true),
      RowOf<int, kSecurityLevelRule>(true),
      RowOf<const SnmpProtocol*, kAuthProtocolRule>(true),
      RowOf<std::string, kAuthPassphraseRule>(true),
      RowOf<const SnmpProtocol*, kPrivProtocolRule>(true),
      RowOf<std::string, kPrivPassphraseRule>(true),
      RowOf<std::string, kContextNameRule>(true),
      RowOf<long, kTimeoutRule>(true),
      RowOf<long, kRetriesRule>(true),
  };
  return rows;
}

}  // namespace qiraoid
