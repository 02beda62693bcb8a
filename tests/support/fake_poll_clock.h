// FakePollClock: a PollClock on which time moves only when the poller pauses or the test moves
// it; nothing waits. A raised stop ends a pause at once, without moving the time. KeptPass: a
// PollTarget that keeps the columns and lines a poller gives it. One thread at a time, each.
#pragma once

#include <chrono>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "poll_clock.h"
#include "poll_target.h"

class FakePollClock final : public qiraoid::PollClock {
 public:
  Steady::time_point Now() override { return now_; }
  std::time_t CalendarSecond() override {
    return kCalendarStart + std::chrono::duration_cast<std::chrono::seconds>(now_ - kStart).count();
  }
  bool Pause(std::chrono::milliseconds pause, qiraoid::SamplingStop& stop) override {
    if (stop.raised()) return true;
    pauses_.push_back(pause);
    now_ += pause;
    return false;
  }

  void Advance(Steady::duration by) { now_ += by; }
  Steady::duration elapsed() const { return now_ - kStart; }
  const std::vector<std::chrono::milliseconds>& pauses() const { return pauses_; }

 private:
  static constexpr Steady::time_point kStart{std::chrono::hours(24)};
  static constexpr std::time_t kCalendarStart = 1700000000;
  Steady::time_point now_ = kStart;
  std::vector<std::chrono::milliseconds> pauses_;
};

struct KeptPass : qiraoid::PollTarget {
  void StampSampleTime(const boost::posix_time::ptime& local_second) override { stamps.push_back(local_second); }
  void Store(const qiraoid::WalkSink::Columns& columns) override {
    for (const auto& [column, value] : columns) this->columns[column] = value;
  }
  void Log(const std::string& line) override { log += line + "\n"; }

  std::vector<boost::posix_time::ptime> stamps;
  std::map<oid, float> columns;
  std::string log;
};
