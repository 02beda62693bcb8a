#include "app_setting.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <sstream>

#include <json/writer.h>

#include "column_value.h"

namespace qiraoid {

namespace {

constexpr size_t kLongestQuotedValue = 40;

// Decimal digits only, and few enough that they fit a long on a 32-bit controller.
std::optional<long> DigitsValue(const std::string& text) {
  if (text.empty() || text.size() > 9 ||
      !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return std::nullopt;
  }
  return std::stol(text);
}

}  // namespace

std::optional<long> WholeNumberSetting(const Json::Value& value, long low, long high) {
  std::optional<int64_t> number;
  if (value.isString()) {
    number = DigitsValue(value.asString());
  } else if (value.isInt64()) {
    number = value.asInt64();
  }
  if (!number || *number < low || *number > high) return std::nullopt;
  return static_cast<long>(*number);
}

std::optional<std::string> TextSetting(const Json::Value& value) {
  if (value.isString()) return value.asString();
  if (value.isInt64()) return std::to_string(value.asInt64());
  return std::nullopt;
}

std::optional<double> SecondsSetting(const Json::Value& value) {
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

std::string SettingText(const Json::Value& value) {
  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  std::string text = Json::writeString(builder, value);
  if (text.size() > kLongestQuotedValue) text = text.substr(0, kLongestQuotedValue) + "...";
  return text;
}

}  // namespace qiraoid
