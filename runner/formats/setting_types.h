// Explains a device's refusal of its settings: the keys the device reads as text or a number (its
// appSetting keys; in mode 3 the thresholdSetting entries' fields), as the device's own list of
// known settings names them, whose values are objects or arrays, which the device cannot read.
#pragma once

#include <string>
#include <vector>

#include <json/value.h>

namespace qiraoid {

// The keys as paths such as appSetting.b_mode or thresholdSetting["cur1"].ID, each with the type
// found ("appSetting.b_mode holds an object"). Values are never quoted: they may be secrets.
std::vector<std::string> UnreadableSettings(const Json::Value& device);

}  // namespace qiraoid
