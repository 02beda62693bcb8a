// A device's configuration checked the way the device reads it, by the same rules (known_settings.h),
// without polling: keys it does not know (with the known key probably meant), values it refuses or
// cannot read. Values are never quoted, as they may be secrets. Safe from any thread once the Net-SNMP library is set up
// (EnsureNetSnmpReady), which deriving SNMPv3 keys needs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <json/value.h>

namespace qiraoid {

struct UnknownKey {
  std::string key;
  std::optional<std::string> nearest;  // the known key, when one is close
};

// appSetting's keys that the device does not read, in the object's order.
std::vector<UnknownKey> UnknownAppSettingKeys(const Json::Value& app);

// "\"max_repetition\" is not one the device reads; did you mean max_repetitions?" (the key as
// a JSON string).
std::string UnknownKeyText(const UnknownKey& unknown);

// Every problem of the device's own keys (appSetting, and thresholdSetting in mode 3), each naming
// its key: "appSetting.retries refused: needs a whole number from 0 to 10".
std::vector<std::string> DeviceSettingProblems(const Json::Value& device);

// What explains a device's refusal of its settings: the keys it reads as text or a number (its
// appSetting keys; in mode 3 the thresholdSetting entries' fields) whose values are objects or
// arrays, as paths with the type found ("appSetting.b_mode holds an object",
// "thresholdSetting[\"cur1\"].ID holds an array").
std::vector<std::string> UnreadableSettings(const Json::Value& device);

}  // namespace qiraoid
