// What a device's driver counts of its own work, for tools that run the plug-in outside the closed
// host: totals since the device was made, the last pass's share, and its agent's state. The
// plug-in exports two functions for them, which the closed host never calls: one copies a device's
// figures, the other sets a watcher told of each change of the agent's state that the device logs.
#pragma once

#include <cstdint>
#include <string>

class ZRMVDevice;

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

// The exported functions: false for a device that is not this plug-in's. A watcher stays set
// until replaced; once a call with null returns, the old watcher is no longer called.
using DriverFiguresFunction = bool (*)(const ZRMVDevice* device, DriverFigures* figures);
using WatchDriverFunction = bool (*)(ZRMVDevice* device, DriverWatcher* watcher);
inline constexpr char kDriverFiguresSymbol[] = "qiraoid_driver_figures";
inline constexpr char kWatchDriverSymbol[] = "qiraoid_watch_driver";

}  // namespace qiraoid
