#include "access_settings.h"

#include <cstring>
#include <optional>
#include <utility>

#include "derived_keys.h"
#include "setting_rules.h"

namespace qiraoid {

namespace {

// Reads the keys one by one, each by its rule; the first key that cannot be used is the refusal.
class Reader {
 public:
  explicit Reader(const Json::Value& app) : app_(app) {}

  std::variant<AccessSettings, AccessRefusal> Read() {
    ReadVersionAndCommunity();
    ReadTiming();
    if (!refusal_ && settings_.version == SNMP_VERSION_3) ReadUser();
    if (refusal_) return *refusal_;
    return settings_;
  }

 private:
  void Refuse(const char* key, const std::string& reason) {
    if (!refusal_) refusal_ = AccessRefusal{key, reason};
  }

  // A missing key keeps the default; false when the key is refused.
  template <typename T, typename Field>
  bool Take(const SettingRule<T>& rule, Field* field) {
    if (!app_.isMember(rule.key)) return true;
    const std::optional<T> value = rule.read(app_[rule.key]);
    if (!value) {
      Refuse(rule.key, rule.needs);
      return false;
    }
    *field = static_cast<Field>(*value);
    return true;
  }

  // A key the settings cannot do without: nothing when it is missing or refused.
  template <typename T>
  std::optional<T> Require(const SettingRule<T>& rule) {
    std::optional<T> value = rule.read(app_[rule.key]);
    if (!value) Refuse(rule.key, rule.needs);
    return value;
  }

  void ReadVersionAndCommunity() {
    Take(kSnmpVersionRule, &settings_.version);
    Take(kCommunityRule, &settings_.community);
  }

  void ReadTiming() {
    Take(kTimeoutRule, &settings_.timeout_us);
    Take(kRetriesRule, &settings_.retries);
    Take(kRetransmissionRule, &settings_.adaptive_retransmission);
  }

  void ReadUser() {
    const std::optional<std::string> name = Require(kSecurityNameRule);
    if (!name) return;
    settings_.security_name = *name;
    if (!Take(kContextNameRule, &settings_.context_name)) return;
    if (!Take(kSecurityLevelRule, &settings_.security_level)) return;
    if (settings_.security_level == SNMP_SEC_LEVEL_NOAUTH) return;
    const std::optional<const SnmpProtocol*> auth = Require(kAuthProtocolRule);
    if (!auth) return;
    settings_.auth_protocol = (*auth)->id;
    settings_.auth_protocol_length = (*auth)->length;
    if (!TakeKey(kAuthPassphraseRule, &settings_.auth_key)) return;
    if (settings_.security_level != SNMP_SEC_LEVEL_AUTHPRIV) return;
    const std::optional<const SnmpProtocol*> priv = Require(kPrivProtocolRule);
    if (!priv) return;
    settings_.priv_protocol = (*priv)->id;
    settings_.priv_protocol_length = (*priv)->length;
    TakeKey(kPrivPassphraseRule, &settings_.priv_key);
  }

  // The key SNMPv3 derives from a passphrase with the auth protocol's hash (RFC 3414, A.2).
  bool TakeKey(const SettingRule<std::string>& rule, std::string* key) {
    const std::optional<std::string> passphrase = Require(rule);
    if (!passphrase) return false;
    std::optional<std::string> derived = DeriveKey(settings_.auth_protocol, settings_.auth_protocol_length, *passphrase);
    if (!derived) {
      Refuse(rule.key, "a passphrase the library can derive a key from");
      return false;
    }
    *key = std::move(*derived);
    return true;
  }

  const Json::Value& app_;
  AccessSettings settings_;
  std::optional<AccessRefusal> refusal_;
};

}  // namespace

bool HasAccessKeys(const Json::Value& app) {
  if (!app.isObject()) return false;
  for (const KnownSetting& setting : CoreSettings()) {
    if (setting.is_access && app.isMember(setting.key)) return true;
  }
  return false;
}

std::variant<AccessSettings, AccessRefusal> ReadAccessSettings(const Json::Value& app) {
  return Reader(app).Read();
}

void ApplyAccess(const AccessSettings& settings, netsnmp_session* session) {
  session->version = settings.version;
  session->timeout = settings.timeout_us;
  session->retries = settings.retries;
  if (settings.version != SNMP_VERSION_3) {
    // The library copies the community when a session opens; the template only points to it.
    session->community = reinterpret_cast<u_char*>(const_cast<char*>(settings.community.data()));
    session->community_len = settings.community.size();
    return;
  }
  session->securityName = const_cast<char*>(settings.security_name.c_str());
  session->securityNameLen = settings.security_name.size();
  session->securityLevel = settings.security_level;
  session->contextName = const_cast<char*>(settings.context_name.c_str());
  session->contextNameLen = settings.context_name.size();
  session->securityAuthProto = const_cast<oid*>(settings.auth_protocol);
  session->securityAuthProtoLen = settings.auth_protocol_length;
  std::memcpy(session->securityAuthKey, settings.auth_key.data(), settings.auth_key.size());
  session->securityAuthKeyLen = settings.auth_key.size();
  session->securityPrivProto = const_cast<oid*>(settings.priv_protocol);
  session->securityPrivProtoLen = settings.priv_protocol_length;
  std::memcpy(session->securityPrivKey, settings.priv_key.data(), settings.priv_key.size());
  session->securityPrivKeyLen = settings.priv_key.size();
}

}  // namespace qiraoid
