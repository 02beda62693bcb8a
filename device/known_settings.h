// The keys a device reads from its configuration: appSetting's (b_mode, which the host reads for
// the device, then the core's keys, snmp/setting_rules.h), its own keys at the top of its
// configuration, the fields of a thresholdSetting entry, and the mode in which it reads
// thresholdSetting. The one list behind the device's unknown-key lines and the runner's checks and
// explanations. Read-only tables; safe from any thread.
#pragma once

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
// The fields of a thresholdSetting entry, each read as text.
inline const std::vector<std::string> kThresholdEntryKeys = {"SignalName", "NMAlarmID", "ID", "SignalNumber"};

// b_mode 3 reads thresholdSetting; whether appSetting selects it, read as the host reads b_mode.
inline constexpr int kThresholdMode = 3;
bool SelectsThresholdMode(const Json::Value& app);

}  // namespace qiraoid
