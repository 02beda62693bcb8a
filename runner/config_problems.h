// Every problem of a configuration file, told alike by zrmhost check and before run or replay
// starts any device: the runner's rules for its entries, then each device's own settings.
// Main thread only: it sets up the Net-SNMP library, which deriving SNMPv3 keys needs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run_config.h"

namespace qiraoid {

// Each problem as a whole line naming the configuration and the entry; none for a good one.
std::vector<std::string> ConfigurationProblems(const std::string& path, AgentUse agent_use);

// The devices of a configuration with no problem; otherwise each problem is told on standard
// error and nothing is returned, so that no device starts.
std::optional<std::vector<DeviceConfig>> LoadAcceptedConfig(const std::string& path, AgentUse agent_use);

}  // namespace qiraoid
