// The device's own appSetting keys: the request shape and the access to the agent, and a line for
// each key it does not read. A missing key keeps what was; a refused one is named in one log line,
// without its value when it is a secret.
#include <variant>

#include "log_line.h"
#include "setting_rules.h"
#include "settings_check.h"
#include "snmp_qiraoid.h"

using qiraoid::AccessRefusal;
using qiraoid::AccessSettings;
using qiraoid::ApplyAccess;
using qiraoid::HasAccessKeys;
using qiraoid::kMaxRepetitionsRule;
using qiraoid::ReadAccessSettings;
using qiraoid::SettingText;
using qiraoid::UnknownAppSettingKeys;
using qiraoid::UnknownKey;
using qiraoid::UnknownKeyText;

// The host may carry keys of its own in appSetting, so an unknown key is named, not refused.
void SNMP_QIRAOID::NameUnknownKeys(const Json::Value& app) {
  for (const UnknownKey& unknown : UnknownAppSettingKeys(app)) {
    LogLine("device ", data_id_, ": appSetting key ", UnknownKeyText(unknown));
  }
}

void SNMP_QIRAOID::ReadRequestShape(const Json::Value& app) {
  if (!app.isMember(kMaxRepetitionsRule.key)) return;
  const Json::Value& value = app[kMaxRepetitionsRule.key];
  const std::optional<long> repetitions = kMaxRepetitionsRule.read(value);
  if (!repetitions) {
    LogLine("device ", data_id_, ": max_repetitions ", SettingText(value), " refused (",
            kMaxRepetitionsRule.needs, "); asking for one binding per request");
  }
  poller_.SetMaxRepetitions(repetitions.value_or(0));
}

// Refused settings leave the previous ones in use; a device that never had usable ones does not
// poll until it gets them.
void SNMP_QIRAOID::ReadAccess(const Json::Value& app) {
  if (!HasAccessKeys(app)) {
    if (!poller_.has_access()) poller_.UseAccess(std::make_shared<const AccessSettings>());  // the defaults, then
    access_chosen_ = true;
    return;
  }
  auto read = ReadAccessSettings(app);
  if (auto* settings = std::get_if<AccessSettings>(&read)) {
    poller_.UseAccess(std::make_shared<const AccessSettings>(std::move(*settings)));
    access_chosen_ = true;
    return;
  }
  const auto& refusal = std::get<AccessRefusal>(read);
  LogLine("device ", data_id_, ": access setting ", refusal.key, " refused (", refusal.reason, "); ",
          access_chosen_ ? "keeping the previous access settings" : "not polling until the settings are usable");
  if (!access_chosen_) poller_.UseAccess(nullptr);
}
