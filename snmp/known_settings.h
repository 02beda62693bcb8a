// The keys a device reads from its configuration, what each takes, and the mode in which it reads
// thresholdSetting: the one list behind the device's readers, its unknown-key lines, and the
// runner's checks and explanations. Read-only tables; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <json/value.h>

namespace qiraoid {

struct KnownSetting {
  const char* key;
  const char* needs;                        // what a usable value is, in an operator's words
  bool (*usable)(const Json::Value& value);  // whether the device takes the value as it is
  bool is_access;                            // says how the device reaches its agent
};

// Every key of appSetting, in the order the README lists them.
const std::vector<KnownSetting>& AppSettings();
// The row of one of those keys; nullptr for a key the device does not read.
const KnownSetting* FindAppSetting(std::string_view key);
// What the key's value needs; the key must be one of AppSettings().
const char* NeedsOf(std::string_view key);
std::vector<std::string> AppSettingKeys();

// The device's own keys at the top of its configuration.
inline const std::vector<std::string> kDeviceKeys = {"appSetting", "thresholdSetting"};
// The fields of a thresholdSetting entry, each read as text.
inline const std::vector<std::string> kThresholdEntryKeys = {"SignalName", "NMAlarmID", "ID", "SignalNumber"};

// The ranges behind the rules above.
inline constexpr long kFewestRepetitions = 1, kMostRepetitions = 100;
inline constexpr long kFewestRetries = 0, kMostRetries = 10;
inline constexpr double kShortestTimeoutSeconds = 0.001, kLongestTimeoutSeconds = 600;
inline constexpr size_t kShortestPassphrase = 8;  // what SNMPv3 (RFC 3414) asks of a passphrase
inline constexpr size_t kLongestSecurityName = 32;

// b_mode 3 reads thresholdSetting; whether appSetting selects it, read as the device reads b_mode.
inline constexpr int kThresholdMode = 3;
bool SelectsThresholdMode(const Json::Value& app);

}  // namespace qiraoid
