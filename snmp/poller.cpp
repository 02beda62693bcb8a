#include "poller.h"

#include <algorithm>

#include "net_snmp_library.h"

namespace qiraoid {

Poller::Poller(PollClock& clock, SessionOpener& opener) : clock_(clock), opener_(opener) {
  EnsureNetSnmpReady();
  UseAccess(std::make_shared<const AccessSettings>());
}

void Poller::UseAccess(std::shared_ptr<const AccessSettings> access) {
  MutexLock guard(&access_mutex_);
  access_ = std::move(access);
  ++access_changes_;
  snmp_sess_init(&session_);
  if (access_) ApplyAccess(*access_, &session_);
}

bool Poller::has_access() const {
  MutexLock guard(&access_mutex_);
  return access_ != nullptr;
}

netsnmp_session Poller::TEST_SessionTemplate() const {
  MutexLock guard(&access_mutex_);
  return session_;
}

void Poller::Run(const std::function<void()>& pass) {
  while (!stop_.raised()) {
    pass();
    clock_.Pause(kPauseAfterPass, stop_);
  }
}

Poller::Walked Poller::Pass(const PassAim& aim, PollTarget& target) {
  const auto began = clock_.Now();
  figures_.BeginPass();
  const Walked walked = WalkOnce(aim, target);
  if (walked != Walked::kNotTried) figures_.EndPass(clock_.Now() - began);
  return walked;
}

RequestShape Poller::ShapeOfNextPass() {
  const long repetitions = max_repetitions_.load();
  if (repetitions == 0 || clock_.Now() < bulk_again_at_) return kOneBindingShape;
  return BulkShape(repetitions);
}

// Each refusal in a row doubles the rest.
void Poller::RestFromBulk(PollTarget& target, const std::string& who, const char* cause) {
  figures_.CountBulkGiveUp();
  bulk_rest_ = bulk_rest_.count() == 0 ? kFirstBulkRest : std::min(2 * bulk_rest_, kLongestBulkRest);
  bulk_again_at_ = clock_.Now() + bulk_rest_;
  target.Log(who + ": falls back from the bulk shape to one binding per request for " + HowLong(bulk_rest_) +
             ": " + cause);
}

// The figures follow the agent's state after every pass and exchange that tells it; the watcher
// hears of the changes that are logged.
void Poller::Tell(const PassAim& aim, PollTarget& target, const std::optional<std::string>& line) {
  figures_.SetAgent(health_.cause());
  if (!line) return;
  target.Log(*line);
  AgentChange change;
  change.device = aim.device;
  change.agent = aim.agent;
  change.state = health_.cause() ? AgentState::kFailing : AgentState::kAnswering;
  change.cause = health_.cause().value_or("");
  change.failed_seconds = std::chrono::duration<double>(health_.last_failure()).count();
  figures_.Tell(change);
}

}  // namespace qiraoid
