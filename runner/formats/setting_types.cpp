#include "setting_types.h"

#include <cstdlib>

#include "json_text.h"

namespace qiraoid {

namespace {

constexpr const char* kAppKeys[] = {"b_mode", "max_repetitions"};
constexpr const char* kThresholdKeys[] = {"SignalName", "NMAlarmID", "ID", "SignalNumber"};
// Mode 3 is the one in which the device reads its threshold entries.
constexpr int kThresholdMode = 3;

bool ReadableAsText(const Json::Value& value) { return !value.isObject() && !value.isArray(); }

std::string TypeName(const Json::Value& value) { return value.isObject() ? "an object" : "an array"; }

void CheckKey(const Json::Value& parent, const char* key, const std::string& path,
              std::vector<std::string>& found) {
  const Json::Value* value = parent.find(key, key + std::char_traits<char>::length(key));
  if (value != nullptr && !ReadableAsText(*value)) {
    found.push_back(path + "." + key + " holds " + TypeName(*value));
  }
}

bool ReadsThresholds(const Json::Value& app) {
  if (!app.isObject()) return false;
  const Json::Value& mode = app["b_mode"];
  return ReadableAsText(mode) && !mode.isNull() && std::atoi(mode.asString().c_str()) == kThresholdMode;
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
    for (const char* key : kThresholdKeys) CheckKey(entry, key, path, found);
  }
}

}  // namespace

std::vector<std::string> UnreadableSettings(const Json::Value& device) {
  std::vector<std::string> found;
  if (!device.isObject()) return found;
  const Json::Value& app = device["appSetting"];
  if (app.isObject()) {
    for (const char* key : kAppKeys) CheckKey(app, key, "appSetting", found);
  }
  if (ReadsThresholds(app)) CheckThresholds(device["thresholdSetting"], found);
  return found;
}

}  // namespace qiraoid
