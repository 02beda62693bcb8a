#include "agent_health.h"

namespace qiraoid {

std::optional<std::string> AgentHealth::Failing(const std::string& cause, Clock::time_point now) {
  if (cause_ == cause) return std::nullopt;
  if (!cause_) failing_since_ = now;
  cause_ = cause;
  return who_ + ": failing: " + cause;
}

std::optional<std::string> AgentHealth::Answering(Clock::time_point now) {
  if (!cause_) return std::nullopt;
  cause_.reset();
  last_failure_ = now - failing_since_;
  return who_ + ": answering again after failing for " +
         HowLong(std::chrono::duration_cast<std::chrono::seconds>(last_failure_));
}

std::string HowLong(std::chrono::seconds duration) {
  const long total = duration.count();
  const long hours = total / 3600;
  const long minutes = total % 3600 / 60;
  const long seconds = total % 60;
  if (hours > 0) return std::to_string(hours) + " h " + std::to_string(minutes) + " min";
  if (minutes > 0) return std::to_string(minutes) + " min " + std::to_string(seconds) + " s";
  return std::to_string(seconds) + " s";
}

}  // namespace qiraoid
