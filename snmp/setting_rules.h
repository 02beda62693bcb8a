// The appSetting keys the SNMP core reads (the request shape and the access to the agent), each
// defined once: its key, what a usable value is in an operator's words, and its reading, which
// yields the value the core uses or nothing for a value it refuses. A value is usable exactly when
// its reading yields one. Each limit and each list of names is written once, in setting_rules.cpp,
// and both the reading and the words are made from it.
// A setting passes through: its rule here → the access settings read by the rules
// (access_settings.h) → the device, which reads its appSetting by them
// (device/snmp_qiraoid_settings.cpp) → the check of a whole configuration by the same rows
// (device/settings_check.h).
// Read-only tables once the library is loaded; safe from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <json/value.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

template <typename T>
struct SettingRule {
  const char* key;
  std::string needs;                                   // what a usable value is
  std::optional<T> (*read)(const Json::Value& value);  // the value taken, or nothing when refused
};

// An SNMPv3 protocol by the name a setting gives it.
struct SnmpProtocol {
  const char* name;
  const oid* id;
  size_t length;
};

extern const SettingRule<long> kMaxRepetitionsRule;
extern const SettingRule<bool> kRetransmissionRule;  // true: adaptive
extern const SettingRule<std::string> kCommunityRule;
extern const SettingRule<long> kSnmpVersionRule;  // SNMP_VERSION_2c or SNMP_VERSION_3
extern const SettingRule<std::string> kSecurityNameRule;
extern const SettingRule<int> kSecurityLevelRule;  // SNMP_SEC_LEVEL_*
extern const SettingRule<const SnmpProtocol*> kAuthProtocolRule;
extern const SettingRule<std::string> kAuthPassphraseRule;
extern const SettingRule<const SnmpProtocol*> kPrivProtocolRule;
extern const SettingRule<std::string> kPrivPassphraseRule;
extern const SettingRule<std::string> kContextNameRule;
extern const SettingRule<long> kTimeoutRule;  // in microseconds
extern const SettingRule<long> kRetriesRule;

// The most decimal digits a whole number given as text may have: any such number fits a long (and
// an int) on a 32-bit controller.
inline constexpr size_t kMostSettingDigits = 9;

// The value as compact JSON text, cut short if long, for a log line that names a refused value.
std::string SettingText(const Json::Value& value);

// A key's rule with its kind of value put aside, for tables of keys.
struct KnownSetting {
  const char* key;
  std::string needs;                         // what a usable value is, in an operator's words
  bool (*usable)(const Json::Value& value);  // whether the key's reading takes the value as it is
  bool is_access;                            // says how the device reaches its agent
};

// A row whose usable() is its rule's reading.
template <typename T, const SettingRule<T>& Rule>
bool ReadsValue(const Json::Value& value) {
  return Rule.read(value).has_value();
}
template <typename T, const SettingRule<T>& Rule>
KnownSetting RowOf(bool is_access) {
  return {Rule.key, Rule.needs, ReadsValue<T, Rule>, is_access};
}

// The core's keys: max_repetitions, then the access keys (retransmission first, the others in the
// order of the README's table of access keys).
const std::vector<KnownSetting>& CoreSettings();

}  // namespace qiraoid
