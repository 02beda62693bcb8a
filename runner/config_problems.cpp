#include "config_problems.h"

#include "config_file.h"
#include "line_output.h"
#include "net_snmp_library.h"
#include "runner_error.h"
#include "settings_check.h"

namespace qiraoid {

namespace {

std::string EntryName(const std::string& config, std::size_t index, const Json::Value& device) {
  std::string name = "configuration " + config + ": devices[" + std::to_string(index) + "]";
  if (device["id"].isUInt()) name += " (id " + std::to_string(device["id"].asUInt()) + ")";
  return name;
}

std::vector<std::string> ProblemsOf(const CheckedRunConfig& checked, const std::string& path) {
  EnsureNetSnmpReady();  // deriving SNMPv3 keys, as the device does, needs the library
  std::vector<std::string> problems;
  for (std::size_t index = 0; index < checked.devices.size(); ++index) {
    problems.insert(problems.end(), checked.problems[index].begin(), checked.problems[index].end());
    const Json::Value& device = checked.devices[index].json;
    for (const std::string& problem : DeviceSettingProblems(device)) {
      problems.push_back(EntryName(path, index, device) + ": " + problem);
    }
  }
  return problems;
}

}  // namespace

std::vector<std::string> ConfigurationProblems(const std::string& path, AgentUse agent_use) {
  try {
    return ProblemsOf(CheckRunConfig(ReadConfigFile(path), path, agent_use), path);
  } catch (const RunnerError& error) {
    return {error.what()};
  }
}

std::optional<std::vector<DeviceConfig>> LoadAcceptedConfig(const std::string& path, AgentUse agent_use) {
  CheckedRunConfig checked = CheckRunConfig(ReadConfigFile(path), path, agent_use);
  const std::vector<std::string> problems = ProblemsOf(checked, path);
  for (const std::string& problem : problems) Diagnose(problem);
  if (!problems.empty()) return std::nullopt;
  return std::move(checked.devices);
}

}  // namespace qiraoid
