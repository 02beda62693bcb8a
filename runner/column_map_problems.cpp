#include "column_map_problems.h"

#include "config_file.h"
#include "line_output.h"
#include "metrics_page.h"
#include "runner_error.h"

namespace qiraoid {

namespace {

// A map names series beside the metrics page's own, which it cannot take.
ColumnMapReading ReadColumnMapFile(const std::string& path) {
  return ReadColumnMap(path, ReadConfigFile(path, "column map"), IsPageFamily);
}

}  // namespace

std::vector<std::string> ColumnMapProblems(const std::string& path) {
  try {
    return ReadColumnMapFile(path).problems;
  } catch (const RunnerError& error) {
    return {error.what()};
  }
}

std::optional<ColumnMap> LoadAcceptedColumnMap(const std::string& path) {
  if (path.empty()) return ColumnMap{};
  ColumnMapReading reading = ReadColumnMapFile(path);
  for (const std::string& problem : reading.problems) Diagnose(problem);
  if (!reading.problems.empty()) return std::nullopt;
  return std::move(reading.map);
}

}  // namespace qiraoid
