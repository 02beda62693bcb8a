// How a device reaches its agent: SNMP version, community or SNMPv3 user, time-out, retries and
// the retransmission rule,
// read from the device's appSetting keys by their rules (setting_rules.h) and turned into a Net-SNMP
// session template.
// Passphrases are kept only as the keys derived from them; no text here ever holds a secret
// except the community, which is never logged.
#pragma once

#include <string>
#include <variant>

#include <json/value.h>
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace qiraoid {

// Each member's default is what a device uses while appSetting does not say otherwise; an
// exchange's RetransmissionRule (retransmission_timer.h) is made from these.
struct AccessSettings {
  long version = SNMP_VERSION_2c;
  std::string community = "qondel";
  // SNMPv3 only.
  std::string security_name;
  int security_level = SNMP_SEC_LEVEL_NOAUTH;
  const oid* auth_protocol = nullptr;
  size_t auth_protocol_length = 0;
  std::string auth_key;  // Ku, derived from the passphrase
  const oid* priv_protocol = nullptr;
  size_t priv_protocol_length = 0;
  std::string priv_key;  // Ku, derived from the passphrase with the auth protocol
  std::string context_name;
  long timeout_us = 10 * 1000 * 1000;
  int retries = 1;
  bool adaptive_retransmission = true;  // false: a retransmission every time-out, as retries say
};

// Why a setting was refused: the key, and what it needs, never its value.
struct AccessRefusal {
  std::string key;
  std::string reason;
};

// Whether appSetting holds any of the access keys.
bool HasAccessKeys(const Json::Value& app);

// The defaults, overridden by the access keys that appSetting holds; or why not. The library must
// be set up (EnsureNetSnmpReady) before, as deriving keys uses it.
std::variant<AccessSettings, AccessRefusal> ReadAccessSettings(const Json::Value& app);

// Fills the template from the settings (after snmp_sess_init). The template points into
// `settings` for its texts, so the settings must outlive the template's use.
void ApplyAccess(const AccessSettings& settings, netsnmp_session* session);

}  // namespace qiraoid
