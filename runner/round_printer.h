// The host's listener: prints each round a device publishes and each alarm change it reports,
// for as long as the progress still counts the device's rounds. With a driver link, a JSON round
// carries the figures of the pass that made it, and an alarm change the time of the round that
// told it (a device reports its alarms after publishing the round's record).
// Threads: OnPublished and OnAlarm come from each device's own round thread, several devices at
// once; what they share (the progress, the output, the driver link) is safe from any thread.
#pragma once

#include <cstdint>
#include <map>

#include "driver_link.h"
#include "event_lines.h"
#include "line_output.h"
#include "mutex.h"
#include "round_progress.h"
#include "standin_host.h"

namespace qiraoid {

class RoundPrinter : public standin::HostListener {
 public:
  RoundPrinter(LineOutput& out, RoundProgress& progress, LineFormat format,
               const DriverLink* driver = nullptr)
      : out_(out), progress_(progress), format_(format), driver_(driver) {}

  void OnPublished(ZRMVDevice& device, const std::string& record) override EXCLUDES(times_mutex_);
  void OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& alarm) override EXCLUDES(times_mutex_);

 private:
  LineOutput& out_;
  RoundProgress& progress_;
  LineFormat format_;
  const DriverLink* driver_;
  Mutex times_mutex_;
  std::map<uint32_t, ttime> round_times_ GUARDED_BY(times_mutex_);  // each device's last published record's time
};

}  // namespace qiraoid
