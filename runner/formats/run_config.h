// The runner's configuration file: {"devices": [{device object}, ...]}. Each device object is the
// device's own JSON; the runner needs its "id", "address" and (to run it) "agent".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// A longer list is refused before any device is looked at: each running device holds a thread and
// descriptors of its own.
constexpr Json::ArrayIndex kDeviceLimit = 1024;

// The keys a device entry may hold: the runner's own (id, agent, address) and the device's.
const std::vector<std::string>& KnownDeviceKeys();

// The devices as far as they could be read, and every problem of their entries (each a whole
// message naming the configuration, the entry and its key), in order.
struct CheckedRunConfig {
  std::vector<DeviceConfig> devices;
  std::vector<std::vector<std::string>> problems;  // problems[i]: those of devices[i]
};
// Throws RunnerError for a configuration that cannot be read as a list of devices at all (not
// JSON, no list, an empty list, too many devices).
CheckedRunConfig CheckRunConfig(std::string_view text, const std::string& name, AgentUse agent_use);

// Reads the text of the configuration called name (a file path, in messages); each device's agent
// must be an address of the shape agent_address.h describes. Throws RunnerError naming the
// configuration and what is wrong (syntax errors with line and column, the first problem of a
// device entry).
std::vector<DeviceConfig> ParseRunConfig(std::string_view text, const std::string& name,
                                         AgentUse agent_use);

std::vector<uint32_t> DeviceIds(const std::vector<DeviceConfig>& configs);

}  // namespace qiraoid
