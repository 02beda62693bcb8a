#include "agent_event_line.h"

#include <cstdio>

#include "json_text.h"
#include "rfc3339_time.h"

namespace qiraoid {

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

}  // namespace

std::string AgentEventLine(const AgentChange& change, std::chrono::system_clock::time_point when) {
  std::string line = "{\"event\":\"agent\",\"device\":" + std::to_string(change.device) +
                     ",\"agent\":" + JsonQuoted(change.agent);
  if (change.state == AgentState::kFailing) {
    line += ",\"state\":\"failing\",\"cause\":" + JsonQuoted(change.cause);
  } else {
    line += ",\"state\":\"answering\",\"failed_seconds\":" + Seconds(change.failed_seconds);
  }
  return line + ",\"time\":" + JsonQuoted(Rfc3339(when)) + "}";
}

std::string PassFiguresJson(const PassFigures& pass) {
  return "{\"requests\":" + std::to_string(pass.requests) +
         ",\"retransmissions\":" + std::to_string(pass.retransmissions) +
         ",\"silences\":" + std::to_string(pass.silences) +
         ",\"bulk_give_ups\":" + std::to_string(pass.bulk_give_ups) + ",\"seconds\":" + Seconds(pass.seconds) +
         "}";
}

}  // namespace qiraoid
