// Reading appSetting values the way the host's configurations give them: as JSON numbers or as
// text, like b_mode.
#pragma once

#include <optional>
#include <string>

#include <json/value.h>

namespace qiraoid {

// A whole number from low to high, given as a JSON number or as decimal digits in text;
// nothing for any other value.
std::optional<long> WholeNumberSetting(const Json::Value& value, long low, long high);

// Text, or a JSON whole number written as text; nothing for other values.
std::optional<std::string> TextSetting(const Json::Value& value);

// A JSON number, or text of digits with an optional fraction read with a decimal point whatever
// the host's locale; nothing for other values.
std::optional<double> SecondsSetting(const Json::Value& value);

// The value as compact JSON text, cut short if long, for a log line that names a refused value.
std::string SettingText(const Json::Value& value);

}  // namespace qiraoid
