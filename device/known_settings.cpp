#include "known_settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace qiraoid {

namespace {

// The host reads b_mode with atoi; usable is a whole number in text or as a JSON number.
bool ModeUsable(const Json::Value& value) {
  if (value.isInt()) return true;
  if (!value.isString()) return false;
  std::string text = value.asString();
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

const KnownSetting kModeSetting = {"b_mode", "a whole number: 2 reports the alarm signals, 3 reads thresholdSetting",
                                   ModeUsable, false};

}  // namespace

const std::vector<KnownSetting>& AppSettings() {
  static const std::vector<KnownSetting> settings = [] {
    std::vector<KnownSetting> all = {kModeSetting};
    all.insert(all.end(), CoreSettings().begin(), CoreSettings().end());
    return all;
  }();
  return settings;
}

const KnownSetting* FindAppSetting(std::string_view key) {
  for (const KnownSetting& setting : AppSettings()) {
    if (key == setting.key) return &setting;
  }
  return nullptr;
}

std::vector<std::string> AppSettingKeys() {
  std::vector<std::string> keys;
  for (const KnownSetting& setting : AppSettings()) keys.push_back(setting.key);
  return keys;
}

bool SelectsThresholdMode(const Json::Value& app) {
  if (!app.isObject()) return false;
  const Json::Value& mode = app["b_mode"];
  return !mode.isNull() && !mode.isObject() && !mode.isArray() &&
         std::atoi(mode.asString().c_str()) == kThresholdMode;
}

}  // namespace qiraoid
