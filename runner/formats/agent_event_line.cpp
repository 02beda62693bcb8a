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

std::string FigureText(uint64_t count) { return std::to_string(count); }
std::string FigureText(double amount) { return Seconds(amount); }

void AppendMember(std::string& object, const char* key, const std::string& value) {
  object += object.empty() ? "{\"" : ",\"";
  object += key;
  object += "\":";
  object += value;
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
  std::string json;
#define QIRAOID_PASS_FIGURE_MEMBER(field, type, json_key, metric, metric_type, help) \
  AppendMember(json, json_key, FigureText(pass.field));
  QIRAOID_PASS_FIGURES(QIRAOID_PASS_FIGURE_MEMBER)
#undef QIRAOID_PASS_FIGURE_MEMBER
  return json + "}";
}

}  // namespace qiraoid
