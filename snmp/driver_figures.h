// What a device's driver counts of its own work: totals since the device was made, the last
// pass's share, and its agent's state; and the watcher told of each change of that state that the
// device logs. The plug-in hands them to tools that run it outside the closed host
// (driver_entry_points.h).
#pragma once

#include <cstdint>
#include <string>

namespace qiraoid {

// How a figure is shown as a metric: a counter shows the device's total since it was made, a
// gauge the last ended pass's (and nothing before the first pass ends).
enum class MetricType { kCounter, kGauge };

// Every figure a pass counts, once: FIGURE(field, C++ type, key in the "pass" object of a --json
// round event, metric name, MetricType, the metric's help text), in the order of the struct, of
// that object and of the metrics page. README.md's table of metrics is held to it by a test.
// A whole-number figure is written as one in JSON, a fractional one with three decimals.
#define QIRAOID_PASS_FIGURES(FIGURE)                                                               \
  FIGURE(requests, uint64_t, "requests", "qiraoid_requests_total", kCounter,                      \
         "GETBULK requests the driver sent, not counting retransmissions.")                       \
  FIGURE(retransmissions, uint64_t, "retransmissions", "qiraoid_retransmissions_total", kCounter, \
         "Requests sent again after their time-out.")                                             \
  FIGURE(silences, uint64_t, "silences", "qiraoid_silences_total", kCounter,                      \
         "Requests left unanswered through the time-out and every retry.")                        \
  FIGURE(bulk_give_ups, uint64_t, "bulk_give_ups", "qiraoid_bulk_give_ups_total", kCounter,       \
         "Times the driver gave up the bulk shape for one binding per request.")                  \
  FIGURE(seconds, double, "seconds", "qiraoid_last_pass_duration_seconds", kGauge,                \
         "How long the last walk pass took.")

struct PassFigures {
#define QIRAOID_PASS_FIGURE_FIELD(field, type, json_key, metric, metric_type, help) type field = 0;
  QIRAOID_PASS_FIGURES(QIRAOID_PASS_FIGURE_FIELD)
#undef QIRAOID_PASS_FIGURE_FIELD
};

enum class AgentState { kUnknown, kAnswering, kFailing };  // kUnknown: no pass has told yet

struct DriverFigures {
  uint64_t passes = 0;  // passes that opened a session and walked (complete or not)
  PassFigures totals;
  PassFigures last_pass;  // the last ended pass; a round's figures when read from inside it
  AgentState agent = AgentState::kUnknown;
  std::string cause;  // kFailing: why, in the words of the device's log line
};

// A change of the agent's state as the device logs it: failing (or failing for another cause),
// or answering again after `failed_seconds` of failing.
struct AgentChange {
  uint32_t device = 0;
  AgentState state = AgentState::kUnknown;
  std::string agent;  // the agent's address
  std::string cause;
  double failed_seconds = 0;
};

// Called on the device's sampling thread; must not call back into the device.
class DriverWatcher {
 public:
  virtual ~DriverWatcher() = default;
  virtual void OnAgentChange(const AgentChange& change) = 0;
};

}  // namespace qiraoid
