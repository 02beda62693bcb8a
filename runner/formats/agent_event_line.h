// The --json line for a change of a device's agent, as the device logs it:
// {"event":"agent","device":12,"agent":"udp:...","state":"failing","cause":"...","time":"..."}, or
// with "state":"answering" and "failed_seconds" (how long it was failing) instead of the cause.
#pragma once

#include <chrono>
#include <string>

#include "driver_figures.h"

namespace qiraoid {

std::string AgentEventLine(const AgentChange& change, std::chrono::system_clock::time_point when);

// The pass's figures as a JSON object, for round events:
// {"requests":14,"retransmissions":0,"silences":0,"bulk_give_ups":0,"seconds":0.104}.
std::string PassFiguresJson(const PassFigures& pass);

}  // namespace qiraoid
