// The runner's configuration file: {"devices": [{device object}, ...]}. Each device object is the
// device's own JSON; the runner needs its "id", "address" and (to run it) "agent".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <json/value.h>

namespace qiraoid {

struct DeviceConfig {
  uint32_t id = 0;
  std::string agent;
  Json::Value json;  // handed to Init and InitSetting
};

// kDropped: the devices will not walk (a replay), so "agent" may be absent and is removed.
enum class AgentUse { kRequired, kDropped };

// Throws RunnerError naming the file and what is wrong (syntax errors with line and column).
std::vector<DeviceConfig> LoadRunConfig(const std::string& path, AgentUse agent_use);

std::vector<uint32_t> DeviceIds(const std::vector<DeviceConfig>& configs);

}  // namespace qiraoid
