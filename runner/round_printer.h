// The host's listener: prints each round a device publishes and each alarm change it reports,
// for as long as the progress still counts the device's rounds.
#pragma once

#include "event_lines.h"
#include "line_output.h"
#include "round_progress.h"
#include "standin_host.h"

namespace qiraoid {

class RoundPrinter : public standin::HostListener {
 public:
  RoundPrinter(LineOutput& out, RoundProgress& progress, LineFormat format)
      : out_(out), progress_(progress), format_(format) {}

  void OnPublished(ZRMVDevice& device, const std::string& record) override;
  void OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& alarm) override;

 private:
  LineOutput& out_;
  RoundProgress& progress_;
  LineFormat format_;
};

}  // namespace qiraoid
