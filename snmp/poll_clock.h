// PollClock: every reading of time and every pause a poller takes, behind one seam, so that its
// tests run on a fake clock without waiting.
// Now and CalendarSecond may be called from any thread; Pause from the polling thread only.
#pragma once

#include <chrono>
#include <ctime>

#include "sampling_stop.h"

namespace qiraoid {

class PollClock {
 public:
  using Steady = std::chrono::steady_clock;

  virtual ~PollClock() = default;
  // Monotonic time, for rests, pauses and how long a pass or a failure lasted.
  virtual Steady::time_point Now() = 0;
  // The calendar's second, for the sampling time the record carries.
  virtual std::time_t CalendarSecond() = 0;
  // Pauses for `pause`, or until `stop` is raised (at once if it is already); true when raised.
  virtual bool Pause(std::chrono::milliseconds pause, SamplingStop& stop) = 0;
};

// The machine's clocks, and a pause that the stop ends at once. Stateless: one serves all pollers.
class RealPollClock final : public PollClock {
 public:
  Steady::time_point Now() override { return Steady::now(); }
  std::time_t CalendarSecond() override { return std::time(nullptr); }
  bool Pause(std::chrono::milliseconds pause, SamplingStop& stop) override { return stop.WaitFor(pause); }
};

}  // namespace qiraoid
