// zrmhost check: every problem of a configuration as the runner and the device would meet it, and
// of a column map as run and dump would, one per line on standard output, without loading the
// plug-in or polling any agent.
#include <cstdio>
#include <string>
#include <vector>

#include "column_map_problems.h"
#include "commands.h"
#include "config_problems.h"

namespace qiraoid {

namespace {

// Prints each problem, or that `file` has none; whether it had none.
bool Report(const std::vector<std::string>& problems, const std::string& file) {
  for (const std::string& problem : problems) std::printf("%s\n", problem.c_str());
  if (problems.empty()) std::printf("%s: no problem found\n", file.c_str());
  return problems.empty();
}

}  // namespace

int CheckConfig(const Options& options) {
  const bool config_good = Report(ConfigurationProblems(options.config, AgentUse::kRequired),
                                  "configuration " + options.config);
  const bool map_good = options.column_map.empty() ||
                        Report(ColumnMapProblems(options.column_map), "column map " + options.column_map);
  std::fflush(stdout);
  return config_good && map_good ? 0 : 1;
}

}  // namespace qiraoid
