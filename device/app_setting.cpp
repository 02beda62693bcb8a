#include "app_setting.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

#include <json/writer.h>

namespace qiraoid {

namespace {

constexpr size_t kLongestQuotedValue = 40;

std::optional<long> DigitsValue(const std::string& text, long high) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return std::nullopt;
  }
  const long value = std::stol(text);
  return value <= high ? std::optional<long>(value) : std::nullopt;
}

}  // namespace

std::optional<long> WholeNumberSetting(const Json::Value& value, long low, long high) {
  std::optional<long> number;
  if (value.isString()) {
    number = DigitsValue(value.asString(), high);
  } else if (value.isInt64() && value.asInt64() >= low && value.asInt64() <= high) {
    number = static_cast<long>(value.asInt64());
  }
  if (!number || *number < low || *number > high) return std::nullopt;
  return number;
}

std::string SettingText(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  std::string text = Json::writeString(builder, value);
  if (text.size() > kLongestQuotedValue) text = text.substr(0, kLongestQuotedValue) + "...";
  return text;
}

}  // namespace qiraoid
