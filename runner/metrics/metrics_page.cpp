#include "metrics_page.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "label_value.h"

namespace qiraoid {

namespace {

// Go's float syntax, which Prometheus reads: shortest round-trip digits, NaN and +Inf/-Inf.
void AppendNumber(std::string& out, double value) {
  if (std::isnan(value)) {
    out += "NaN";
  } else if (std::isinf(value)) {
    out += value > 0 ? "+Inf" : "-Inf";
  } else {
    char text[32];
    out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
  }
}

void AppendFloat(std::string& out, float value) {
  if (!std::isfinite(value)) return AppendNumber(out, value);
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);  // the float's own digits
}

void AppendWhole(std::string& out, uint64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// One sample: name{device="12"<more>} value. Written straight into the page, without a string
// of its own: a thousand devices' page holds about 1.7 million samples.
class Sample {
 public:
  Sample(std::string& out, std::string_view name, uint32_t device) : out_(out) {
    out_ += name;
    out_ += "{device=\"";
    AppendWhole(out_, device);
    out_ += '"';
  }
  Sample& Label(std::string_view name, const std::string& value) {
    Open(name);
    AppendLabelValue(out_, value);
    out_ += '"';
    return *this;
  }
  Sample& Label(std::string_view name, uint64_t number) {
    Open(name);
    AppendWhole(out_, number);
    out_ += '"';
    return *this;
  }
  void Value(double value) { End(), AppendNumber(out_, value), out_ += '\n'; }
  void Value(float value) { End(), AppendFloat(out_, value), out_ += '\n'; }

 private:
  void Open(std::string_view name) {
    out_ += ',';
    out_ += name;
    out_ += "=\"";
  }
  void End() { out_ += "} "; }
  std::string& out_;
};

// One family of the page: its head, and what writes its samples from one source (a device, or
// the runner itself).
template <typename Source>
struct FamilyOf {
  const char* name;
  const char* type;
  const char* help;
  void (*samples)(std::string& out, const char* name, const Source& source);
};
using Family = FamilyOf<DeviceMetrics>;

void Values(std::string& out, const char* name, const DeviceMetrics& device) {
  if (device.rounds == 0) return;
  for (int column = 1; column <= kQiraoidColumns; ++column) {
    Sample(out, name, device.id).Label("column", static_cast<uint64_t>(column)).Value(device.values[column - 1]);
  }
}

void Alarms(std::string& out, const char* name, const DeviceMetrics& device) {
  for (const SignalState& signal : device.signals) {
    Sample(out, name, device.id)
        .Label("signal", uint64_t{signal.number})
        .Label("id", signal.id)
        .Label("name", signal.name)
        .Value(signal.active ? 1.0 : 0.0);
  }
}

void Rounds(std::string& out, const char* name, const DeviceMetrics& device) {
  Sample(out, name, device.id).Value(static_cast<double>(device.rounds));
}

void LastRound(std::string& out, const char* name, const DeviceMetrics& device) {
  if (device.rounds > 0) Sample(out, name, device.id).Value(device.last_round_seconds);
}

// A pass figure's sample: a counter's the device's total, a gauge's the last ended pass's.
template <auto field, MetricType type>
void PassFigure(std::string& out, const char* name, const DeviceMetrics& device) {
  if (!device.figures) return;
  if constexpr (type == MetricType::kCounter) {
    Sample(out, name, device.id).Value(static_cast<double>(device.figures->totals.*field));
  } else if (device.figures->passes > 0) {
    Sample(out, name, device.id).Value(static_cast<double>(device.figures->last_pass.*field));
  }
}

constexpr const char* TypeName(MetricType type) { return type == MetricType::kCounter ? "counter" : "gauge"; }

void Passes(std::string& out, const char* name, const DeviceMetrics& device) {
  if (device.figures) Sample(out, name, device.id).Value(static_cast<double>(device.figures->passes));
}

void Answering(std::string& out, const char* name, const DeviceMetrics& device) {
  if (!device.figures || device.figures->agent == AgentState::kUnknown) return;
  Sample(out, name, device.id).Value(device.figures->agent == AgentState::kAnswering ? 1.0 : 0.0);
}

void Failing(std::string& out, const char* name, const DeviceMetrics& device) {
  if (!device.figures || device.figures->agent != AgentState::kFailing) return;
  Sample(out, name, device.id).Label("cause", device.figures->cause).Value(1.0);
}

const Family kFamilies[] = {
    {"qiraoid_cabinet_value", "gauge", "The last round's value of each cabinet column.", Values},
    {"qiraoid_alarm_active", "gauge",
     "Whether each alarm signal was raised (1) or cleared (0) in the last round (mode 2).", Alarms},
    {"qiraoid_rounds_total", "counter", "Rounds the device completed.", Rounds},
    {"qiraoid_last_round_timestamp_seconds", "gauge", "When the device last completed a round.", LastRound},
    {"qiraoid_passes_total", "counter", "Walk passes the driver made.", Passes},
#define QIRAOID_PASS_FIGURE_FAMILY(field, type, json_key, metric, metric_type, help) \
  {metric, TypeName(MetricType::metric_type), help, PassFigure<&PassFigures::field, MetricType::metric_type>},
    QIRAOID_PASS_FIGURES(QIRAOID_PASS_FIGURE_FAMILY)
#undef QIRAOID_PASS_FIGURE_FAMILY
    {"qiraoid_agent_answering", "gauge", "Whether the agent answered the last pass (1) or is failing (0).",
     Answering},
    {"qiraoid_agent_failing", "gauge", "Present while the agent is failing, with the cause.", Failing},
};

// A family of the runner's own, its one sample unlabelled (or labelled as the function writes it).
using RunnerFamily = FamilyOf<RunnerMetrics>;

void BuildInfo(std::string& out, const char* name, const RunnerMetrics& runner) {
  out += name;
  out += "{version=\"";
  AppendLabelValue(out, runner.version);
  out += "\"} 1\n";
}

// A process figure's sample, when the figures could be read.
template <auto field>
void ProcessFigure(std::string& out, const char* name, const RunnerMetrics& runner) {
  if (!runner.process) return;
  out += name;
  out += ' ';
  AppendNumber(out, static_cast<double>((*runner.process).*field));
  out += '\n';
}

// The process families under the names and help texts Prometheus' own client libraries use.
const RunnerFamily kRunnerFamilies[] = {
    {"qiraoid_build_info", "gauge", "The runner's version, as a label; always 1.", BuildInfo},
    {"process_cpu_seconds_total", "counter", "Total user and system CPU time spent in seconds.",
     ProcessFigure<&ProcessFigures::cpu_seconds>},
    {"process_open_fds", "gauge", "Number of open file descriptors.", ProcessFigure<&ProcessFigures::open_fds>},
    {"process_max_fds", "gauge", "Maximum number of open file descriptors.", ProcessFigure<&ProcessFigures::max_fds>},
    {"process_virtual_memory_bytes", "gauge", "Virtual memory size in bytes.",
     ProcessFigure<&ProcessFigures::virtual_bytes>},
    {"process_resident_memory_bytes", "gauge", "Resident memory size in bytes.",
     ProcessFigure<&ProcessFigures::resident_bytes>},
    {"process_start_time_seconds", "gauge", "Start time of the process since unix epoch in seconds.",
     ProcessFigure<&ProcessFigures::start_time_seconds>},
};

void AppendHead(std::string& out, const std::string& name, const char* type, const std::string& help) {
  out += "# HELP ";
  out += name;
  out += ' ';
  out += help;
  out += "\n# TYPE ";
  out += name;
  out += ' ';
  out += type;
  out += '\n';
}

// "Cabinet column 12 as the column map names it (volts)."
std::string MappedHelp(const MappedMetric& metric) {
  std::string help = metric.columns.size() == 1 ? "Cabinet column " : "Cabinet columns ";
  for (std::size_t index = 0; index < metric.columns.size(); ++index) {
    help += (index == 0 ? "" : ", ") + std::to_string(metric.columns[index].column);
  }
  help += metric.columns.size() == 1 ? " as the column map names it" : " as the column map names them";
  return help + (metric.unit.empty() ? "." : " (" + metric.unit + ").");
}

void MappedSamples(std::string& out, const MappedMetric& metric, const DeviceMetrics& device) {
  if (device.rounds == 0) return;
  for (const MappedColumn& column : metric.columns) {
    Sample sample(out, metric.name, device.id);
    for (const auto& [name, value] : column.labels) sample.Label(name, value);
    sample.Value(device.values[column.column - 1]);
  }
}

}  // namespace

bool IsPageFamily(const std::string& name) {
  for (const Family& family : kFamilies) {
    if (name == family.name) return true;
  }
  for (const RunnerFamily& family : kRunnerFamilies) {
    if (name == family.name) return true;
  }
  return false;
}

std::string MetricsPage(const std::vector<DeviceMetrics>& devices, const RunnerMetrics& runner,
                        const ColumnMap& columns) {
  std::size_t mapped = 0;
  for (const MappedMetric& metric : columns.metrics) mapped += metric.columns.size();
  std::size_t expected = 4096;
  for (const DeviceMetrics& device : devices) {
    expected += 1024 + (device.rounds > 0 ? 64 * (kQiraoidColumns + mapped) : 0) + 80 * device.signals.size();
  }
  std::string out;
  out.reserve(expected);
  for (const Family& family : kFamilies) {
    AppendHead(out, family.name, family.type, family.help);
    for (const DeviceMetrics& device : devices) family.samples(out, family.name, device);
  }
  for (const MappedMetric& metric : columns.metrics) {
    AppendHead(out, metric.name, "gauge", MappedHelp(metric));
    for (const DeviceMetrics& device : devices) MappedSamples(out, metric, device);
  }
  for (const RunnerFamily& family : kRunnerFamilies) {
    AppendHead(out, family.name, family.type, family.help);
    family.samples(out, family.name, runner);
  }
  return out;
}

}  // namespace qiraoid
