// Configuration text as zrmhost run reads it, and the look at a device's settings made when the
// device refuses them: any text is either accepted or refused with a RunnerError.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "run_config.h"
#include "runner_error.h"
#include "setting_types.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    for (const qiraoid::DeviceConfig& device :
         qiraoid::ParseRunConfig(text, "fuzz.json", qiraoid::AgentUse::kRequired)) {
      qiraoid::UnreadableSettings(device.json);
    }
  } catch (const qiraoid::RunnerError&) {
  }
  return 0;
}
