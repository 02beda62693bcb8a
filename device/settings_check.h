// The keys a device reads from its configuration, and a configuration checked the way the device
// reads it, without polling. appSetting's keys are b_mode (which the host reads for the device)
// and the core's (snmp/setting_rules.h); the device's own keys sit at the top of its
// configuration; in threshold mode the host's template reads the thresholdSetting entries' fields
// (host/uni_data_device.h). The one list behind the device's unknown-key lines and the runner's
// checks and explanations. Values are never quoted, as they may be secrets. Safe from any thread
// once the Net-SNMP library is set up (EnsureNetSnmpReady), which deriving SNMPv3 keys needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <json/value.h>

#include "setting_rules.h"

namespace qiraoid {

// Every key of appSetting: b_mode, then the core's in the order of CoreSettings(), which is the
// order a check names refused keys in.
const std::vector<KnownSetting>& AppSettings();
// The row of one of those keys; nullptr for a key the device does not read.
const KnownSetting* FindAppSetting(std::string_view key);
std::vector<std::string> AppSettingKeys();

// The device's own keys at the top of its configuration.
inline const std::vector<std::string> kDeviceKeys = {"appSetting", "thresholdSetting"};

// b_mode 2 reports the alarm signals.
inline constexpr int kAlarmMode = 2;

struct UnknownKey {
  std::string key;
  std::optional<std::string> nearest;  // the known key, when one is close
};

// appSetting's keys that the device does not read, in the object's order.
std::vector<UnknownKey> UnknownAppSettingKeys(const Json::Value& app);

// "\"max_repetition\" is not one the device reads; did you mean max_repetitions?" (the key as
// a JSON string).
std::string UnknownKeyText(const UnknownKey& unknown);

// Every problem of the device's own keys (appSetting, and thresholdSetting in threshold mode),
// each naming its key: "appSetting.retries refused: needs a whole number from 0 to 10".
std::vector<std::string> DeviceSettingProblems(const Json::Value& device);

// What explains a device's refusal of its settings: the keys it reads as text or a number (its
// appSetting keys; in threshold mode the thresholdSetting entries' fields) whose values are
// objects or arrays, as paths with the type found ("appSetting.b_mode holds an object",
// "thresholdSetting[\"cur1\"].ID holds an array").
std::vector<std::string> UnreadableSettings(const Json::Value& device);

}  // namespace qiraoid
