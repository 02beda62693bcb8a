// The column map: what the operator knows a cabinet's columns to be, from its documentation, as
// metric names, units and labels for the metrics page and headings for dump --csv. A text file,
// one mapped column a line:
//
//   # column  metric name     [unit]  [label=value ...]
//   12        phase_voltage   volts   phase=L1 feed="feed A"
//
// Fields are parted by blanks; a '#' that starts a field starts a comment. The unit, one of
// kColumnUnits, is appended to the name ("phase_voltage_volts") unless the name ends with it; the
// values are served as the cabinet gives them, not converted. A label's value is bare or quoted,
// with \\ and \" inside quotes. Lines that give one metric make one family: they give the same
// label names and differ in their values. A mapped column is served as a gauge.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qiraoid {

using MapLabels = std::vector<std::pair<std::string, std::string>>;  // name, value as given

struct MappedColumn {
  int column = 0;  // 1-1397
  MapLabels labels;  // in the line's order
};

struct MappedMetric {
  std::string name;  // with its unit's suffix
  std::string unit;  // "" for none
  std::vector<MappedColumn> columns;  // in the map's order
};

struct ColumnMap {
  std::vector<MappedMetric> metrics;  // in the order of their first lines
};

// Units a column may be given, under the names Prometheus' conventions give them.
extern const std::vector<std::string_view> kColumnUnits;

struct ColumnMapReading {
  ColumnMap map;  // the good lines'
  std::vector<std::string> problems;  // "columns.map:7: column 1500 is not in 1-1397"; none for a good map
};

// Whether the page the map's columns are served on tells a family of that name of its own.
using PageFamily = std::function<bool(const std::string& name)>;

// `file` names the map in its problems, one per bad line; a metric the page tells already is one.
ColumnMapReading ReadColumnMap(const std::string& file, std::string_view text, const PageFamily& page_family);

// dump --csv's heading for each mapped column: its series without the device,
// `phase_voltage_volts{phase="L1",feed="feed A"}`, or the bare name for a metric without labels.
std::map<int, std::string> ColumnHeadings(const ColumnMap& map);

}  // namespace qiraoid
