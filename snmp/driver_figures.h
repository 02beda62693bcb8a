// What a device's driver counts of its own work: totals since the device was made, the last
// pass's share, and its agent's state; and the watcher told of each change of that state that the
// device logs. The plug-in hands them to tools that run it outside the closed host
// (driver_entry_points.h).
#pragma once

#include <cstdint>
#include <string>

namespace qiraoid {

struct PassFigures {
  uint64_t requests = 0;         // GETBULK requests sent, each counted once however often resent
  uint64_t retransmissions = 0;  // a request sent again after its time-out
  uint64_t silences = 0;         // requests unanswered through the time-out and every retry
  uint64_t bulk_give_ups = 0;    // falls from the bulk shape to one binding per request
  double seconds = 0;            // time spent walking
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
