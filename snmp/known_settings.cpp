#include "known_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "access_settings.h"
#include "app_setting.h"

namespace qiraoid {

namespace {

// b_mode is read with atoi; usable is a whole number in text or as a JSON number.
bool ModeUsable(const Json::Value& value) {
  if (value.isInt()) return true;
  if (!value.isString()) return false;
  std::string text = value.asString();
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

bool RepetitionsUsable(const Json::Value& value) {
  return WholeNumberSetting(value, kFewestRepetitions, kMostRepetitions).has_value();
}

bool CommunityUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text && !text->empty() && text->find('\0') == std::string::npos;
}

bool VersionUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text == "2c" || text == "3";
}

bool SecurityNameUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text && !text->empty() && text->size() <= kLongestSecurityName;
}

bool AnyText(const Json::Value& value) { return TextSetting(value).has_value(); }

bool PassphraseUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text && text->size() >= kShortestPassphrase;
}

template <bool (*Names)(const std::string&)>
bool NameUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text && Names(*text);
}

bool TimeoutUsable(const Json::Value& value) {
  const auto seconds = SecondsSetting(value);
  return seconds && *seconds >= kShortestTimeoutSeconds && *seconds <= kLongestTimeoutSeconds;
}

bool RetriesUsable(const Json::Value& value) {
  return WholeNumberSetting(value, kFewestRetries, kMostRetries).has_value();
}

bool RetransmissionUsable(const Json::Value& value) {
  const auto text = TextSetting(value);
  return text == "fixed" || text == "adaptive";
}

const std::vector<KnownSetting> kAppSettings = {
    {"b_mode", "a whole number: 2 reports the alarm signals, 3 reads thresholdSetting", ModeUsable, false},
    {"max_repetitions", "a whole number from 1 to 100", RepetitionsUsable, false},
    {"retransmission", "\"fixed\" or \"adaptive\"", RetransmissionUsable, true},
    {"community", "a text that is not empty", CommunityUsable, true},
    {"snmp_version", "\"2c\" or \"3\"", VersionUsable, true},
    {"security_name", "a user name of 1 to 32 characters for SNMPv3", SecurityNameUsable, true},
    {"security_level", "noAuthNoPriv, authNoPriv or authPriv", NameUsable<NamesSecurityLevel>, true},
    {"auth_protocol", "MD5, SHA, SHA-224, SHA-256, SHA-384 or SHA-512", NameUsable<NamesAuthProtocol>, true},
    {"auth_passphrase", "a passphrase of at least 8 characters", PassphraseUsable, true},
    {"priv_protocol", "DES, AES, AES-192 or AES-256", NameUsable<NamesPrivProtocol>, true},
    {"priv_passphrase", "a passphrase of at least 8 characters", PassphraseUsable, true},
    {"context_name", "a text", AnyText, true},
    {"timeout_seconds", "a number of seconds from 0.001 to 600", TimeoutUsable, true},
    {"retries", "a whole number from 0 to 10", RetriesUsable, true},
};

}  // namespace

const std::vector<KnownSetting>& AppSettings() { return kAppSettings; }

const KnownSetting* FindAppSetting(std::string_view key) {
  for (const KnownSetting& setting : kAppSettings) {
    if (key == setting.key) return &setting;
  }
  return nullptr;
}

const char* NeedsOf(std::string_view key) {
  const KnownSetting* setting = FindAppSetting(key);
  return setting != nullptr ? setting->needs : "";
}

std::vector<std::string> AppSettingKeys() {
  std::vector<std::string> keys;
  for (const KnownSetting& setting : kAppSettings) keys.push_back(setting.key);
  return keys;
}

bool SelectsThresholdMode(const Json::Value& app) {
  if (!app.isObject()) return false;
  const Json::Value& mode = app["b_mode"];
  return !mode.isNull() && !mode.isObject() && !mode.isArray() &&
         std::atoi(mode.asString().c_str()) == kThresholdMode;
}

}  // namespace qiraoid
