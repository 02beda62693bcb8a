#include "accepted_column_map.h"

#include "config_file.h"
#include "line_output.h"

namespace qiraoid {

std::optional<ColumnMap> LoadAcceptedColumnMap(const std::string& path) {
  if (path.empty()) return ColumnMap{};
  ColumnMapReading reading = ReadColumnMap(path, ReadConfigFile(path, "column map"));
  for (const std::string& problem : reading.problems) Diagnose(problem);
  if (!reading.problems.empty()) return std::nullopt;
  return std::move(reading.map);
}

}  // namespace qiraoid
