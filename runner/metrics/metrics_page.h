// The Prometheus text exposition format (version 0.0.4) of the devices as the runner sees them:
// the last round's values, the alarm signals' states, rounds so far and the last round's time,
// and the driver's own figures; the columns the operator's column map names, under those names;
// then the runner's version and its process' standard figures. Every family is told with HELP and
// TYPE, its samples labelled with the device id; label values are escaped as the format asks.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "column_map.h"
#include "driver_figures.h"
#include "process_figures.h"
#include "snmp_qiraoid_data.h"

namespace qiraoid {

struct SignalState {
  unsigned short number = 0;
  std::string id;  // the signal's identifier, "120830170820"
  std::string name;  // as the signal table names it
  bool active = false;
};

struct DeviceMetrics {
  uint32_t id = 0;
  uint64_t rounds = 0;
  double last_round_seconds = 0;  // since the epoch; with rounds > 0 only
  std::array<float, kQiraoidColumns> values{};  // the last round's; with rounds > 0 only
  std::vector<SignalState> signals;  // as last reported, by number; empty outside mode 2
  std::optional<DriverFigures> figures;  // nothing for a plug-in without them
};

// What the page tells of the runner itself.
struct RunnerMetrics {
  std::string version;
  std::optional<ProcessFigures> process;  // nothing where it could not be read
};

// Where the page is served, and as what.
inline constexpr char kMetricsPath[] = "/metrics";
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// Without a column map (or with an empty one) the page is the same as it always was; with one, each
// mapped column is told twice: as a column of qiraoid_cabinet_value and under its mapped name.
std::string MetricsPage(const std::vector<DeviceMetrics>& devices, const RunnerMetrics& runner,
                        const ColumnMap& columns = {});

// Whether the page tells a family of that name whatever the column map.
bool IsPageFamily(const std::string& name);

}  // namespace qiraoid
