#include "access_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

#include "app_setting.h"
#include "known_settings.h"

namespace qiraoid {

namespace {


struct Protocol {
  const char* name;
  const oid* id;
  size_t length;
};

const Protocol kAuthProtocols[] = {
    {"MD5", usmHMACMD5AuthProtocol, OID_LENGTH(usmHMACMD5AuthProtocol)},
    {"SHA", usmHMACSHA1AuthProtocol, OID_LENGTH(usmHMACSHA1AuthProtocol)},
    {"SHA-224", usmHMAC128SHA224AuthProtocol, OID_LENGTH(usmHMAC128SHA224AuthProtocol)},
    {"SHA-256", usmHMAC192SHA256AuthProtocol, OID_LENGTH(usmHMAC192SHA256AuthProtocol)},
    {"SHA-384", usmHMAC256SHA384AuthProtocol, OID_LENGTH(usmHMAC256SHA384AuthProtocol)},
    {"SHA-512", usmHMAC384SHA512AuthProtocol, OID_LENGTH(usmHMAC384SHA512AuthProtocol)},
};

const Protocol kPrivProtocols[] = {
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
const Row* Named(const Row (&rows)[N], const std::optional<std::string>& name) {
  if (!name) return nullptr;
  for (const Row& row : rows) {
    if (*name == row.name) return &row;
  }
  return nullptr;
}

// Reads the keys one by one; the first key that cannot be used is the refusal.
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
  bool Has(const char* key) const { return app_.isMember(key); }
  void Refuse(const char* key, const char* reason) {
    if (!refusal_) refusal_ = AccessRefusal{key, reason};
  }
  void Refuse(const char* key) { Refuse(key, NeedsOf(key)); }

  void ReadVersionAndCommunity() {
    if (Has("snmp_version")) {
      const std::optional<std::string> version = TextSetting(app_["snmp_version"]);
      if (version == "2c") {
        settings_.version = SNMP_VERSION_2c;
      } else if (version == "3") {
        settings_.version = SNMP_VERSION_3;
      } else {
        Refuse("snmp_version");
      }
    }
    if (Has("community")) {
      const std::optional<std::string> community = TextSetting(app_["community"]);
      if (!community || community->empty() || community->find('\0') != std::string::npos) {
        Refuse("community");
      } else {
        settings_.community = *community;
      }
    }
  }

  void ReadTiming() {
    if (Has("timeout_seconds")) {
      const std::optional<double> seconds = SecondsSetting(app_["timeout_seconds"]);
      if (!seconds || !(*seconds >= kShortestTimeoutSeconds && *seconds <= kLongestTimeoutSeconds)) {
        Refuse("timeout_seconds");
      } else {
        settings_.timeout_us = std::lround(*seconds * 1e6);
      }
    }
    if (Has("retries")) {
      const std::optional<long> retries = WholeNumberSetting(app_["retries"], kFewestRetries, kMostRetries);
      if (!retries) {
        Refuse("retries");
      } else {
        settings_.retries = static_cast<int>(*retries);
      }
    }
    if (Has("retransmission")) {
      const std::optional<std::string> rule = TextSetting(app_["retransmission"]);
      if (rule == "adaptive" || rule == "fixed") {
        settings_.adaptive_retransmission = rule == "adaptive";
      } else {
        Refuse("retransmission");
      }
    }
  }

  void ReadUser() {
    const std::optional<std::string> name = TextSetting(app_["security_name"]);
    if (!name || name->empty() || name->size() > kLongestSecurityName) {
      return Refuse("security_name");
    }
    settings_.security_name = *name;
    if (Has("context_name")) {
      const std::optional<std::string> context = TextSetting(app_["context_name"]);
      if (!context) return Refuse("context_name");
      settings_.context_name = *context;
    }
    if (Has("security_level")) {
      const auto* level = Named(kSecurityLevels, TextSetting(app_["security_level"]));
      if (level == nullptr) return Refuse("security_level");
      settings_.security_level = level->level;
    }
    if (settings_.security_level == SNMP_SEC_LEVEL_NOAUTH) return;
    const Protocol* auth = Named(kAuthProtocols, TextSetting(app_["auth_protocol"]));
    if (auth == nullptr) return Refuse("auth_protocol");
    settings_.auth_protocol = auth->id;
    settings_.auth_protocol_length = auth->length;
    if (!DeriveKey("auth_passphrase", &settings_.auth_key)) return;
    if (settings_.security_level != SNMP_SEC_LEVEL_AUTHPRIV) return;
    const Protocol* priv = Named(kPrivProtocols, TextSetting(app_["priv_protocol"]));
    if (priv == nullptr) return Refuse("priv_protocol");
    settings_.priv_protocol = priv->id;
    settings_.priv_protocol_length = priv->length;
    DeriveKey("priv_passphrase", &settings_.priv_key);
  }

  // The key SNMPv3 derives from a passphrase with the auth protocol's hash (RFC 3414, A.2).
  bool DeriveKey(const char* passphrase_key, std::string* key) {
    const std::optional<std::string> passphrase = TextSetting(app_[passphrase_key]);
    if (!passphrase || passphrase->size() < kShortestPassphrase) {
      Refuse(passphrase_key);
      return false;
    }
    u_char derived[USM_AUTH_KU_LEN];
    size_t derived_length = sizeof derived;
    if (generate_Ku(settings_.auth_protocol, static_cast<u_int>(settings_.auth_protocol_length),
                    reinterpret_cast<const u_char*>(passphrase->data()), passphrase->size(), derived,
                    &derived_length) != SNMPERR_SUCCESS) {
      Refuse(passphrase_key, "a passphrase the library can derive a key from");
      return false;
    }
    key->assign(reinterpret_cast<const char*>(derived), derived_length);
    return true;
  }

  const Json::Value& app_;
  AccessSettings settings_;
  std::optional<AccessRefusal> refusal_;
};

}  // namespace

bool HasAccessKeys(const Json::Value& app) {
  if (!app.isObject()) return false;
  for (const KnownSetting& setting : AppSettings()) {
    if (setting.is_access && app.isMember(setting.key)) return true;
  }
  return false;
}

bool NamesSecurityLevel(const std::string& name) { return Named(kSecurityLevels, name) != nullptr; }
bool NamesAuthProtocol(const std::string& name) { return Named(kAuthProtocols, name) != nullptr; }
bool NamesPrivProtocol(const std::string& name) { return Named(kPrivProtocols, name) != nullptr; }

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
