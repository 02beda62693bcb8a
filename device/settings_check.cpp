#include "settings_check.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>
#include <variant>

#include <json/writer.h>

#include "access_settings.h"
#include "nearest_key.h"
#include "snmp_qiraoid_data.h"
#include "uni_data_device.h"
#include "zrm_socket_device.h"

namespace qiraoid {

namespace {

// The host's template the cabinet device derives from, which reads b_mode and thresholdSetting.
using HostDevice = UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0>;

// The host reads b_mode with atoi; usable is a whole number in text or as a JSON number.
bool ModeUsable(const Json::Value& value) {
  if (value.isInt()) return true;
  if (!value.isString()) return false;
  std::string text = value.asString();
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.erase(0, 1);
  return !text.empty() && text.size() <= kMostSettingDigits &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

KnownSetting ModeSetting() {
  return {"b_mode",
          "a whole number: " + std::to_string(kAlarmMode) + " reports the alarm signals, " +
              std::to_string(HostDevice::kThresholdSettingMode) + " reads thresholdSetting",
          ModeUsable, false};
}

// Whether appSetting selects the threshold mode, read as the host reads b_mode.
bool SelectsThresholdMode(const Json::Value& app) {
  if (!app.isObject()) return false;
  const Json::Value& mode = app["b_mode"];
  return !mode.isNull() && !mode.isObject() && !mode.isArray() &&
         std::atoi(mode.asString().c_str()) == HostDevice::kThresholdSettingMode;
}

// The fields of a thresholdSetting entry, each read as text.
const std::vector<std::string>& ThresholdEntryKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> all = {HostDevice::kSignalNameField};
    all.insert(all.end(), std::begin(HostDevice::kAlarmIdFields), std::end(HostDevice::kAlarmIdFields));
    return all;
  }();
  return keys;
}

std::string Quoted(const std::string& text) {
  Json::StreamWriterBuilder builder;
  builder["emitUTF8"] = true;
  return Json::writeString(builder, Json::Value(text));
}

bool ReadableAsText(const Json::Value& value) { return !value.isObject() && !value.isArray(); }

std::string Refused(const std::string& key, const std::string& needs) {
  return "appSetting." + key + " refused: needs " + needs;
}

void CheckAppSetting(const Json::Value& app, std::vector<std::string>& problems) {
  for (const UnknownKey& unknown : UnknownAppSettingKeys(app)) {
    problems.push_back("appSetting key " + UnknownKeyText(unknown));
  }
  bool access_refused = false;
  for (const KnownSetting& setting : AppSettings()) {
    const Json::Value* value = app.find(setting.key, setting.key + std::char_traits<char>::length(setting.key));
    if (value == nullptr || setting.usable(*value)) continue;
    problems.push_back(Refused(setting.key, setting.needs));
    access_refused = access_refused || setting.is_access;
  }
  // What the keys need of each other (a user for SNMPv3, protocols for the level), once each key
  // is usable on its own.
  if (access_refused || !HasAccessKeys(app)) return;
  const auto read = ReadAccessSettings(app);
  if (const auto* refusal = std::get_if<AccessRefusal>(&read)) {
    problems.push_back(Refused(refusal->key, refusal->reason));
  }
}

std::string EntryPath(const std::string& name) { return "thresholdSetting[" + Quoted(name) + "]"; }

void CheckThresholds(const Json::Value& thresholds, std::vector<std::string>& problems) {
  if (thresholds.isNull()) return;
  if (!thresholds.isObject()) {
    problems.push_back("thresholdSetting is not an object of named entries");
    return;
  }
  for (const std::string& name : thresholds.getMemberNames()) {
    const Json::Value& entry = thresholds[name];
    const std::string path = EntryPath(name);
    if (!entry.isObject()) {
      problems.push_back(path + " is not an object, so the device skips it");
      continue;
    }
    for (const std::string& key : ThresholdEntryKeys()) {
      if (!ReadableAsText(entry[key])) problems.push_back(path + "." + key + " is not text or a number");
    }
  }
}

std::string TypeName(const Json::Value& value) { return value.isObject() ? "an object" : "an array"; }

void FindUnreadable(const Json::Value& parent, const std::string& key, const std::string& path,
                    std::vector<std::string>& found) {
  const Json::Value* value = parent.find(key.data(), key.data() + key.size());
  if (value != nullptr && !ReadableAsText(*value)) {
    found.push_back(path + "." + key + " holds " + TypeName(*value));
  }
}

void FindUnreadableThresholds(const Json::Value& thresholds, std::vector<std::string>& found) {
  if (thresholds.isArray() && !thresholds.empty()) {
    found.push_back("thresholdSetting is an array, not an object of named entries");
    return;
  }
  if (!thresholds.isObject()) return;
  for (const std::string& name : thresholds.getMemberNames()) {
    const Json::Value& entry = thresholds[name];
    if (!entry.isObject()) continue;  // the device skips such entries
    for (const std::string& key : ThresholdEntryKeys()) FindUnreadable(entry, key, EntryPath(name), found);
  }
}

}  // namespace

const std::vector<KnownSetting>& AppSettings() {
  static const std::vector<KnownSetting> settings = [] {
    std::vector<KnownSetting> all = {ModeSetting()};
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

std::vector<UnknownKey> UnknownAppSettingKeys(const Json::Value& app) {
  std::vector<UnknownKey> unknown;
  if (!app.isObject()) return unknown;
  for (const std::string& key : app.getMemberNames()) {
    if (FindAppSetting(key) == nullptr) unknown.push_back({key, NearestKey(key, AppSettingKeys())});
  }
  return unknown;
}

std::string UnknownKeyText(const UnknownKey& unknown) {
  return Quoted(unknown.key) + " is not one the device reads" +
         (unknown.nearest ? "; did you mean " + *unknown.nearest + "?" : "");
}

std::vector<std::string> DeviceSettingProblems(const Json::Value& device) {
  std::vector<std::string> problems;
  if (!device.isObject()) return problems;
  const Json::Value& app = device["appSetting"];
  if (!app.isNull() && !app.isObject()) problems.push_back("appSetting is not an object, so the device keeps mode 1");
  if (app.isObject()) CheckAppSetting(app, problems);
  if (SelectsThresholdMode(app)) CheckThresholds(device["thresholdSetting"], problems);
  return problems;
}

std::vector<std::string> UnreadableSettings(const Json::Value& device) {
  std::vector<std::string> found;
  if (!device.isObject()) return found;
  const Json::Value& app = device["appSetting"];
  if (app.isObject()) {
    for (const std::string& key : AppSettingKeys()) FindUnreadable(app, key, "appSetting", found);
  }
  if (SelectsThresholdMode(app)) FindUnreadableThresholds(device["thresholdSetting"], found);
  return found;
}

}  // namespace qiraoid
