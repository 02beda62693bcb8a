// Configuration text as zrmhost run and zrmhost check read it, and the look at a device's settings
// made when the device refuses them or a check lists their problems: any text is either accepted
// or refused with a RunnerError, and every device entry is checked without a crash.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net_snmp_library.h"
#include "run_config.h"
#include "runner_error.h"
#include "settings_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  qiraoid::EnsureNetSnmpReady();
  try {
    const qiraoid::CheckedRunConfig checked = qiraoid::CheckRunConfig(text, "fuzz.json", qiraoid::AgentUse::kRequired);
    for (const qiraoid::DeviceConfig& device : checked.devices) {
      qiraoid::UnreadableSettings(device.json);
      qiraoid::DeviceSettingProblems(device.json);
    }
    qiraoid::ParseRunConfig(text, "fuzz.json", qiraoid::AgentUse::kRequired);
  } catch (const qiraoid::RunnerError&) {
  }
  return 0;
}
