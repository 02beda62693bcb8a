#include "access_settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <optional>

#include "app_setting.h"
#include "column_value.h"

namespace qiraoid {

namespace {

constexpr size_t kShortestPassphrase = 8;  // what SNMPv3 (RFC 3414) asks of a passphrase
constexpr size_t kLongestSecurityName = 32;
constexpr const char* kAccessKeys[] = {
    "community",       "snmp_version",    "security_name",   "security_level", "auth_protocol",
    "auth_passphrase", "priv_protocol",   "priv_passphrase", "context_name",   "timeout_seconds",
    "retries",         "retransmission"};

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

// Text, or a JSON number written as text, like b_mode; nothing for other values.
std::optional<std::string> Text(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isInt64()) return std::to_string(value.asInt64());
  return std::nullopt;
}

// A JSON number, or text of digits with an optional fraction read with a decimal point whatever
// the host's locale; nothing for other values.
std::optional<double> Seconds(const Json::Value& value) {
  if (value.isNumeric()) return value.asDouble();
  if (!value.isString()) return std::nullopt;
  const std::string text = value.asString();
  const size_t point = text.find('.');
  const auto digits = [](const std::string& part) {
    return std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); });
  };
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || !digits(whole) || !digits(fraction)) return std::nullopt;
  return ParseNumberText(text);
}

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

  void ReadVersionAndCommunity() {
    if (Has("snmp_version")) {
      const std::optional<std::string> version = Text(app_["snmp_version"]);
      if (version == "2c") {
        settings_.version = SNMP_VERSION_2c;
      } else if (version == "3") {
        settings_.version = SNMP_VERSION_3;
      } else {
        Refuse("snmp_version", "\"2c\" or \"3\"");
      }
    }
    if (Has("community")) {
      const std::optional<std::string> community = Text(app_["community"]);
      if (!community || community->empty() || community->find('\0') != std::string::npos) {
        Refuse("community", "a text that is not empty");
      } else {
        settings_.community = *community;
      }
    }
  }

  void ReadTiming() {
    if (Has("timeout_seconds")) {
      const std::optional<double> seconds = Seconds(app_["timeout_seconds"]);
      if (!seconds || !(*seconds >= 0.001 && *seconds <= 600)) {
        Refuse("timeout_seconds", "a number of seconds from 0.001 to 600");
      } else {
        settings_.timeout_us = std::lround(*seconds * 1e6);
      }
    }
    if (Has("retries")) {
      const std::optional<long> retries = WholeNumberSetting(app_["retries"], 0, 10);
      if (!retries) {
        Refuse("retries", "a whole number from 0 to 10");
      } else {
        settings_.retries = static_cast<int>(*retries);
      }
    }
    if (Has("retransmission")) {
      const std::optional<std::string> rule = Text(app_["retransmission"]);
      if (rule == "adaptive" || rule == "fixed") {
        settings_.adaptive_retransmission = rule == "adaptive";
      } else {
        Refuse("retransmission", "\"adaptive\" or \"fixed\"");
      }
    }
  }

  void ReadUser() {
    const std::optional<std::string> name = Text(app_["security_name"]);
    if (!name || name->empty() || name->size() > kLongestSecurityName) {
      return Refuse("security_name", "a user name of 1 to 32 characters for SNMPv3");
    }
    settings_.security_name = *name;
    if (Has("context_name")) {
      const std::optional<std::string> context = Text(app_["context_name"]);
      if (!context) return Refuse("context_name", "a text");
      settings_.context_name = *context;
    }
    if (Has("security_level")) {
      const auto* level = Named(kSecurityLevels, Text(app_["security_level"]));
      if (level == nullptr) return Refuse("security_level", "noAuthNoPriv, authNoPriv or authPriv");
      settings_.security_level = level->level;
    }
    if (settings_.security_level == SNMP_SEC_LEVEL_NOAUTH) return;
    const Protocol* auth = Named(kAuthProtocols, Text(app_["auth_protocol"]));
    if (auth == nullptr) return Refuse("auth_protocol", "MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512");
    settings_.auth_protocol = auth->id;
    settings_.auth_protocol_length = auth->length;
    if (!DeriveKey("auth_passphrase", &settings_.auth_key)) return;
    if (settings_.security_level != SNMP_SEC_LEVEL_AUTHPRIV) return;
    const Protocol* priv = Named(kPrivProtocols, Text(app_["priv_protocol"]));
    if (priv == nullptr) return Refuse("priv_protocol", "DES, AES, AES-192 or AES-256");
    settings_.priv_protocol = priv->id;
    settings_.priv_protocol_length = priv->length;
    DeriveKey("priv_passphrase", &settings_.priv_key);
  }

  // The key SNMPv3 derives from a passphrase with the auth protocol's hash (RFC 3414, A.2).
  bool DeriveKey(const char* passphrase_key, std::string* key) {
    const std::optional<std::string> passphrase = Text(app_[passphrase_key]);
    if (!passphrase || passphrase->size() < kShortestPassphrase) {
      Refuse(passphrase_key, "a passphrase of at least 8 characters");
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
  for (const char* key : kAccessKeys) {
    if (app.isMember(key)) return true;
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
