// Column map text as run, dump and check read it, then the page and the CSV header made with what
// it accepted: any text gives a map and a problem per bad line without a crash, and what the map
// holds is what its rules allow (columns in range and mapped once, one family per name, a heading
// per mapped column).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "column_map.h"
#include "event_lines.h"
#include "metrics_page.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const qiraoid::ColumnMapReading reading = qiraoid::ReadColumnMap("fuzz.map", text, qiraoid::IsPageFamily);
  for (const std::string& problem : reading.problems) Require(problem.rfind("fuzz.map:", 0) == 0);
  std::set<int> columns;
  std::set<std::string> names;
  for (const qiraoid::MappedMetric& metric : reading.map.metrics) {
    Require(!metric.columns.empty() && names.insert(metric.name).second && !qiraoid::IsPageFamily(metric.name));
    for (const qiraoid::MappedColumn& column : metric.columns) {
      Require(column.column >= 1 && column.column <= kQiraoidColumns && columns.insert(column.column).second);
    }
  }
  Require(qiraoid::ColumnHeadings(reading.map).size() == columns.size());
  qiraoid::DeviceMetrics device;
  device.id = 12;
  device.rounds = 1;
  qiraoid::MetricsPage({device}, {"1.0.0", std::nullopt}, reading.map);
  qiraoid::CsvHeader(qiraoid::ColumnHeadings(reading.map));
  return 0;
}
