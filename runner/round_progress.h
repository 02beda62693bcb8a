// Counts each device's rounds for the waiting host and wakes it when every device has completed
// the goal, when a device has gone too long without a round, or when a stop is asked for.
// Devices call in from their own threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace qiraoid {

class RoundProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // No goal: rounds are counted without end. No stall limit: silence is never reported.
  RoundProgress(const std::vector<uint32_t>& devices, std::optional<int> goal,
                std::optional<Clock::duration> stall_limit);

  // Gives every device the whole stall limit from now on: called once the devices are started.
  void RestartClock();
  // Counts a round that has begun: its number, or 0 once the device is past the goal (the round
  // and what it reports are then not the host's to print).
  int CountRound(uint32_t device);
  // Whether the device's reports still belong to a counted round.
  bool Counting(uint32_t device) const;
  void RequestStop(int signal);
  bool StopRequested() const;

  enum class Outcome { kGoalReached, kStopped, kStalled };
  struct Wake {
    Outcome outcome;
    int signal = 0;       // kStopped: the signal that asked for it
    uint32_t device = 0;  // kStalled: the silent device...
    int rounds = 0;       // ...and the rounds it had completed
  };
  // Blocks until something to act on. A stalled device is reported once per stall limit.
  Wake Wait();

 private:
  struct DeviceRounds {
    int count = 0;
    Clock::time_point deadline = Clock::time_point::max();
  };
  bool GoalReached() const;
  std::optional<Wake> Stalled(Clock::time_point now);
  Clock::time_point NextDeadline() const;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<uint32_t, DeviceRounds> devices_;
  std::optional<int> goal_;
  std::optional<Clock::duration> stall_limit_;
  int stop_signal_ = 0;
};

}  // namespace qiraoid
