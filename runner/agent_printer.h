// Prints each change of a device's agent (failing, another cause, answering again) as a --json
// "agent" event, for as long as the progress still counts the device's rounds. Called on the
// devices' sampling threads.
#pragma once

#include "driver_figures.h"
#include "line_output.h"
#include "round_progress.h"

namespace qiraoid {

class AgentPrinter : public DriverWatcher {
 public:
  AgentPrinter(LineOutput& out, const RoundProgress& progress) : out_(out), progress_(progress) {}
  void OnAgentChange(const AgentChange& change) override;

 private:
  LineOutput& out_;
  const RoundProgress& progress_;
};

}  // namespace qiraoid
