// zrmhost check: every problem of a configuration as the runner and the device would meet it, one
// per line on standard output, without loading the plug-in or polling any agent.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "config_problems.h"

namespace qiraoid {

int CheckConfig(const Options& options) {
  const std::vector<std::string> problems = ConfigurationProblems(options.config, AgentUse::kRequired);
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (problems.empty()) std::printf("configuration %s: no problem found\n", options.config.c_str());
  std::fflush(stdout);
  return problems.empty() ? 0 : 1;
}

}  // namespace qiraoid
