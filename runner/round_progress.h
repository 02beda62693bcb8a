// Counts each device's rounds for the waiting host and wakes it when every device has completed
// the goal, when a device has gone too long without a round, or when a stop is asked for.
// Devices call in from their own threads.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "mutex.h"

namespace qiraoid {

class RoundProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // No goal: rounds are counted without end. No stall limit: silence is never reported.
  RoundProgress(const std::vector<uint32_t>& devices, std::optional<int> goal,
                std::optional<Clock::duration> stall_limit);

  // Gives every device the whole stall limit from now on: called once the devices are started.
  void RestartClock() EXCLUDES(mutex_);
  // Counts a round that has begun: its number, or 0 once the device is past the goal (the round
  // and what it reports are then not the host's to print).
  int CountRound(uint32_t device) EXCLUDES(mutex_);
  // Whether the device's reports still belong to a counted round.
  bool Counting(uint32_t device) const EXCLUDES(mutex_);
  void RequestStop(int signal) EXCLUDES(mutex_);
  bool StopRequested() const EXCLUDES(mutex_);

  enum class Outcome { kGoalReached, kStopped, kStalled };
  struct Wake {
    Outcome outcome;
    int signal = 0;       // kStopped: the signal that asked for it
    uint32_t device = 0;  // kStalled: the silent device...
    int rounds = 0;       // ...and the rounds it had completed
  };
  // Blocks until something to act on. A stalled device is reported once per stall limit.
  Wake Wait() EXCLUDES(mutex_);

 private:
  struct DeviceRounds {
    int count = 0;
    Clock::time_point deadline = Clock::time_point::max();
  };
  bool GoalReached() const REQUIRES(mutex_);
  std::optional<Wake> Stalled(Clock::time_point now) REQUIRES(mutex_);
  Clock::time_point NextDeadline() const REQUIRES(mutex_);

  mutable Mutex mutex_;
  CondVar changed_;
  std::map<uint32_t, DeviceRounds> devices_ GUARDED_BY(mutex_);
  const std::optional<int> goal_;
  const std::optional<Clock::duration> stall_limit_;
  int stop_signal_ GUARDED_BY(mutex_) = 0;
};

}  // namespace qiraoid
