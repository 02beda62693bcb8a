// The column map a command was given, read before the command starts any device or writes any
// output, so that a bad map stops it first.
#pragma once

#include <optional>
#include <string>

#include "column_map.h"

namespace qiraoid {

// An empty map for no path. A map with problems is told on standard error, one line per bad line,
// and nothing is returned. Throws RunnerError when the file cannot be read.
std::optional<ColumnMap> LoadAcceptedColumnMap(const std::string& path);

}  // namespace qiraoid
