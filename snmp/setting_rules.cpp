#include "setting_rules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

#include <json/writer.h>

#include "column_value.h"

namespace qiraoid {

namespace {

// The limits of the keys' values: each reading takes them, each key's words tell them.
struct WholeRange {
  long low, high;
};
constexpr WholeRange kRepetitions{1, 100};
constexpr WholeRange kRetries{0, 10};
constexpr double kShortestTimeoutSeconds = 0.001, kLongestTimeoutSeconds = 600;
constexpr size_t kShortestPassphrase = 8;  // what SNMPv3 (RFC 3414) asks of a passphrase
constexpr size_t kShortestSecurityName = 1, kLongestSecurityName = 32;

// The names a key takes, in the order its words list them.
template <typename T>
struct Choice {
  const char* name;
  T value;
};
const Choice<bool> kRetransmissions[] = {{"fixed", false}, {"adaptive", true}};
const Choice<long> kVersions[] = {{"2c", SNMP_VERSION_2c}, {"3", SNMP_VERSION_3}};
const Choice<int> kSecurityLevels[] = {
    {"noAuthNoPriv", SNMP_SEC_LEVEL_NOAUTH},
    {"authNoPriv", SNMP_SEC_LEVEL_AUTHNOPRIV},
    {"authPriv", SNMP_SEC_LEVEL_AUTHPRIV},
};
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

constexpr size_t kLongestQuotedValue = 40;

// Values the way the host's configurations give them: as JSON numbers or as text, like b_mode.

bool AllDigits(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// Decimal digits only, and few enough that they fit a long on a 32-bit controller.
std::optional<long> DigitsValue(const std::string& text) {
  if (text.empty() || text.size() > kMostSettingDigits || !AllDigits(text)) return std::nullopt;
  return std::stol(text);
}

// Text, or a JSON whole number written as text; nothing for other values.
std::optional<std::string> TextSetting(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isInt64()) return std::to_string(value.asInt64());
  return std::nullopt;
}

// A whole number in the range, given as a JSON number or as decimal digits in text.
std::optional<long> WholeNumberSetting(const Json::Value& value, WholeRange range) {
  std::optional<int64_t> number;
  if (value.isString()) {
    number = DigitsValue(value.asString());
  } else if (value.isInt64()) {
    number = value.asInt64();
  }
  if (!number || *number < range.low || *number > range.high) return std::nullopt;
  return static_cast<long>(*number);
}

// A JSON number, or text of digits with an optional fraction read with a decimal point whatever
// the host's locale.
std::optional<double> SecondsSetting(const Json::Value& value) {
  if (value.isNumeric()) return value.asDouble();
  if (!value.isString()) return std::nullopt;
  const std::string text = value.asString();
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  if (whole.empty() || !AllDigits(whole) || !AllDigits(fraction)) return std::nullopt;
  return ParseNumberText(text);
}

// The row whose name the value gives; nullptr when none has it.
template <typename Row, size_t N>
const Row* Named(const Row (&rows)[N], const Json::Value& value) {
  const std::optional<std::string> name = TextSetting(value);
  if (!name) return nullptr;
  for (const Row& row : rows) {
    if (*name == row.name) return &row;
  }
  return nullptr;
}

// The readings of the keys.

template <const WholeRange& Range>
std::optional<long> InRange(const Json::Value& value) {
  return WholeNumberSetting(value, Range);
}

template <const auto& Choices>
auto Chosen(const Json::Value& value) -> std::optional<decltype(Choices[0].value)> {
  const auto* choice = Named(Choices, value);
  if (choice == nullptr) return std::nullopt;
  return choice->value;
}

template <const auto& Protocols>
std::optional<const SnmpProtocol*> Protocol(const Json::Value& value) {
  const SnmpProtocol* protocol = Named(Protocols, value);
  if (protocol == nullptr) return std::nullopt;
  return protocol;
}

std::optional<std::string> Community(const Json::Value& value) {
  std::optional<std::string> text = TextSetting(value);
  if (!text || text->empty() || text->find('\0') != std::string::npos) return std::nullopt;
  return text;
}

std::optional<std::string> SecurityName(const Json::Value& value) {
  std::optional<std::string> text = TextSetting(value);
  if (!text || text->size() < kShortestSecurityName || text->size() > kLongestSecurityName) return std::nullopt;
  return text;
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

// The words of the keys, made from the same limits and names.

std::string WholeNumberWords(WholeRange range) {
  return "a whole number from " + std::to_string(range.low) + " to " + std::to_string(range.high);
}

// As short as the number can be written, with a decimal point whatever the host's locale.
std::string DecimalText(double number) {
  char text[32];
  const std::to_chars_result end = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed);
  return std::string(text, end.ptr);
}

enum class Quoted { kNo, kYes };

// "A, B or C".
template <typename Row, size_t N>
std::string OneOf(const Row (&rows)[N], Quoted quoted) {
  std::string words;
  for (size_t i = 0; i < N; ++i) {
    if (i > 0) words += i + 1 == N ? " or " : ", ";
    words += quoted == Quoted::kYes ? '"' + std::string(rows[i].name) + '"' : std::string(rows[i].name);
  }
  return words;
}

const std::string kPassphraseWords = "a passphrase of at least " + std::to_string(kShortestPassphrase) + " characters";

}  // namespace

std::string SettingText(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  std::string text = Json::writeString(builder, value);
  if (text.size() > kLongestQuotedValue) text = text.substr(0, kLongestQuotedValue) + "...";
  return text;
}

const SettingRule<long> kMaxRepetitionsRule = {"max_repetitions", WholeNumberWords(kRepetitions),
                                               InRange<kRepetitions>};
const SettingRule<bool> kRetransmissionRule = {"retransmission", OneOf(kRetransmissions, Quoted::kYes),
                                               Chosen<kRetransmissions>};
const SettingRule<std::string> kCommunityRule = {"community", "a text that is not empty", Community};
const SettingRule<long> kSnmpVersionRule = {"snmp_version", OneOf(kVersions, Quoted::kYes), Chosen<kVersions>};
const SettingRule<std::string> kSecurityNameRule = {
    "security_name",
    "a user name of " + std::to_string(kShortestSecurityName) + " to " + std::to_string(kLongestSecurityName) +
        " characters for SNMPv3",
    SecurityName};
const SettingRule<int> kSecurityLevelRule = {"security_level", OneOf(kSecurityLevels, Quoted::kNo),
                                             Chosen<kSecurityLevels>};
const SettingRule<const SnmpProtocol*> kAuthProtocolRule = {"auth_protocol", OneOf(kAuthProtocols, Quoted::kNo),
                                                            Protocol<kAuthProtocols>};
const SettingRule<std::string> kAuthPassphraseRule = {"auth_passphrase", kPassphraseWords, Passphrase};
const SettingRule<const SnmpProtocol*> kPrivProtocolRule = {"priv_protocol", OneOf(kPrivProtocols, Quoted::kNo),
                                                            Protocol<kPrivProtocols>};
const SettingRule<std::string> kPrivPassphraseRule = {"priv_passphrase", kPassphraseWords, Passphrase};
const SettingRule<std::string> kContextNameRule = {"context_name", "a text", TextSetting};
const SettingRule<long> kTimeoutRule = {
    "timeout_seconds",
    "a number of seconds from " + DecimalText(kShortestTimeoutSeconds) + " to " + DecimalText(kLongestTimeoutSeconds),
    TimeoutMicroseconds};
const SettingRule<long> kRetriesRule = {"retries", WholeNumberWords(kRetries), InRange<kRetries>};

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
