// zrmhost check: every problem of a configuration as the runner and the device would meet it, one
// per line on standard output, without loading the plug-in or polling any agent.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "config_file.h"
#include "net_snmp_library.h"
#include "run_config.h"
#include "runner_error.h"
#include "settings_check.h"

namespace qiraoid {

namespace {

std::string EntryName(const std::string& config, std::size_t index, const Json::Value& device) {
  std::string name = "configuration " + config + ": devices[" + std::to_string(index) + "]";
  if (device["id"].isUInt()) name += " (id " + std::to_string(device["id"].asUInt()) + ")";
  return name;
}

std::vector<std::string> Problems(const std::string& path) {
  CheckedRunConfig checked;
  try {
    checked = CheckRunConfig(ReadConfigFile(path), path, AgentUse::kRequired);
  } catch (const RunnerError& error) {
    return {error.what()};
  }
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

int CheckConfig(const Options& options) {
  const std::vector<std::string> problems = Problems(options.config);
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (problems.empty()) std::printf("configuration %s: no problem found\n", options.config.c_str());
  std::fflush(stdout);
  return problems.empty() ? 0 : 1;
}

}  // namespace qiraoid
