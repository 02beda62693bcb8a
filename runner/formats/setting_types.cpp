#include "setting_types.h"

#include "json_text.h"
#include "known_settings.h"

namespace qiraoid {

namespace {

bool ReadableAsText(const Json::Value& value) { return !value.isObject() && !value.isArray(); }

std::string TypeName(const Json::Value& value) { return value.isObject() ? "an object" : "an array"; }

void CheckKey(const Json::Value& parent, const std::string& key, const std::string& path,
              std::vector<std::string>& found) {
  const Json::Value* value = parent.find(key.data(), key.data() + key.size());
  if (value != nullptr && !ReadableAsText(*value)) {
    found.push_back(path + "." + key + " holds " + TypeName(*value));
  }
}

void CheckThresholds(const Json::Value& thresholds, std::vector<std::string>& found) {
  if (thresholds.isArray() && !thresholds.empty()) {
    found.push_back("thresholdSetting is an array, not an object of named entries");
    return;
  }
  if (!thresholds.isObject()) return;
  for (const std::string& name : thresholds.getMemberNames()) {
    const Json::Value& entry = thresholds[name];
    if (!entry.isObject()) continue;  // the device skips such entries
    const std::string path = "thresholdSetting[" + JsonQuoted(name) + "]";
    for (const std::string& key : kThresholdEntryKeys) CheckKey(entry, key, path, found);
  }
}

}  // namespace

std::vector<std::string> UnreadableSettings(const Json::Value& device) {
  std::vector<std::string> found;
  if (!device.isObject()) return found;
  const Json::Value& app = device["appSetting"];
  if (app.isObject()) {
    for (const std::string& key : AppSettingKeys()) CheckKey(app, key, "appSetting", found);
  }
  if (SelectsThresholdMode(app)) CheckThresholds(device["thresholdSetting"], found);
  return found;
}

}  // namespace qiraoid
