// AgentHealth: what a device knows of its agent, answering or failing with a cause since a time,
// and the one line an operator needs at each change: the first failing pass, a change of cause,
// and the recovery with how long the agent was failing. Used by the sampling thread only.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace qiraoid {

class AgentHealth {
 public:
  using Clock = std::chrono::steady_clock;

  // `who` names the device and its agent at the start of each line ("device 12 agent udp:...").
  void Name(std::string who) { who_ = std::move(who); }
  // The line to log when this cause is news, nothing while it stays the same.
  std::optional<std::string> Failing(const std::string& cause, Clock::time_point now = Clock::now());
  // The line to log when the agent was failing until now, nothing when it was answering already.
  std::optional<std::string> Answering(Clock::time_point now = Clock::now());

  const std::optional<std::string>& cause() const { return cause_; }  // nothing while answering
  // How long the agent was failing before it last answered again.
  Clock::duration last_failure() const { return last_failure_; }

 private:
  std::string who_;
  std::optional<std::string> cause_;  // nothing while answering
  Clock::time_point failing_since_;
  Clock::duration last_failure_{};
};

// "2 h 5 min", "3 min 20 s", "12 s": how long, to the second, in the largest two units.
std::string HowLong(std::chrono::seconds duration);

}  // namespace qiraoid
