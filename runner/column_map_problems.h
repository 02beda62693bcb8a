// Every problem of a column map, told alike by zrmhost check and before run starts any device or
// dump writes anything.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "column_map.h"

namespace qiraoid {

// Each problem as a whole line naming the map and the line ("columns.map:7: ..."), or the one
// that kept it from being read; none for a good map.
std::vector<std::string> ColumnMapProblems(const std::string& path);

// An empty map for no path. A map with problems is told on standard error, one line per bad line,
// and nothing is returned. Throws RunnerError when the file cannot be read.
std::optional<ColumnMap> LoadAcceptedColumnMap(const std::string& path);

}  // namespace qiraoid
