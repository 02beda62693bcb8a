#include "round_progress.h"

namespace qiraoid {

RoundProgress::RoundProgress(const std::vector<uint32_t>& devices, std::optional<int> goal,
                             std::optional<Clock::duration> stall_limit)
    : goal_(goal), stall_limit_(stall_limit) {
  const Clock::time_point start = Clock::now();
  for (const uint32_t device : devices) {
    devices_[device].deadline = stall_limit_ ? start + *stall_limit_ : Clock::time_point::max();
  }
}

void RoundProgress::RestartClock() {
  MutexLock guard(&mutex_);
  if (!stall_limit_) return;
  const Clock::time_point deadline = Clock::now() + *stall_limit_;
  for (auto& [device, rounds] : devices_) rounds.deadline = deadline;
}

int RoundProgress::CountRound(uint32_t device) {
  MutexLock guard(&mutex_);
  DeviceRounds& rounds = devices_[device];
  ++rounds.count;
  if (stall_limit_) rounds.deadline = Clock::now() + *stall_limit_;
  changed_.NotifyAll();
  return goal_ && rounds.count > *goal_ ? 0 : rounds.count;
}

bool RoundProgress::Counting(uint32_t device) const {
  MutexLock guard(&mutex_);
  const auto found = devices_.find(device);
  return !goal_ || found == devices_.end() || found->second.count <= *goal_;
}

void RoundProgress::RequestStop(int signal) {
  MutexLock guard(&mutex_);
  stop_signal_ = signal;
  changed_.NotifyAll();
}

bool RoundProgress::StopRequested() const {
  MutexLock guard(&mutex_);
  return stop_signal_ != 0;
}

RoundProgress::Wake RoundProgress::Wait() {
  MutexLock guard(&mutex_);
  for (;;) {
    if (stop_signal_ != 0) return {Outcome::kStopped, stop_signal_};
    if (GoalReached()) return {Outcome::kGoalReached};
    if (auto stalled = Stalled(Clock::now())) return *stalled;
    const Clock::time_point deadline = NextDeadline();
    if (deadline == Clock::time_point::max()) {
      changed_.Wait(mutex_);
    } else {
      changed_.WaitUntil(mutex_, deadline);
    }
  }
}

bool RoundProgress::GoalReached() const {
  if (!goal_) return false;
  for (const auto& [device, rounds] : devices_) {
    if (rounds.count < *goal_) return false;
  }
  return true;
}

std::optional<RoundProgress::Wake> RoundProgress::Stalled(Clock::time_point now) {
  for (auto& [device, rounds] : devices_) {
    if (goal_ && rounds.count >= *goal_) continue;
    if (now < rounds.deadline) continue;
    rounds.deadline = now + *stall_limit_;
    return Wake{Outcome::kStalled, 0, device, rounds.count};
  }
  return std::nullopt;
}

RoundProgress::Clock::time_point RoundProgress::NextDeadline() const {
  Clock::time_point next = Clock::time_point::max();
  for (const auto& [device, rounds] : devices_) {
    if (goal_ && rounds.count >= *goal_) continue;
    if (rounds.deadline < next) next = rounds.deadline;
  }
  return next;
}

}  // namespace qiraoid
