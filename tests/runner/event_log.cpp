#include "event_log.h"

#include <memory>

#include <json/reader.h>

#include <gtest/gtest.h>

#include "subprocess.h"

std::vector<Json::Value> ParseJsonLines(const std::string& text) {
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::vector<Json::Value> events;
  for (const std::string& line : Lines(text)) {
    Json::Value event;
    std::string errors;
    if (!reader->parse(line.data(), line.data() + line.size(), &event, &errors) || !event.isObject()) {
      ADD_FAILURE() << "not a JSON object line: " << line.substr(0, 200) << "\n" << errors;
      continue;
    }
    events.push_back(event);
  }
  return events;
}

std::vector<std::string> EventsOf(const std::vector<Json::Value>& events, int device) {
  std::vector<std::string> summary;
  for (const Json::Value& event : events) {
    if (event["device"].asInt() != device) continue;
    if (event["event"] == "round") {
      summary.push_back("round " + std::to_string(event["round"].asInt()));
    } else if (event["event"] == "alarm") {
      summary.push_back("alarm " + std::to_string(event["signal"].asInt()) +
                        (event["active"].asBool() ? " on" : " off"));
    } else {
      summary.push_back("unexpected " + event.toStyledString());
    }
  }
  return summary;
}

std::vector<Json::Value> RoundsOf(const std::vector<Json::Value>& events, int device) {
  std::vector<Json::Value> rounds;
  for (const Json::Value& event : events) {
    if (event["event"] == "round" && event["device"].asInt() == device) rounds.push_back(event);
  }
  return rounds;
}

bool IsTimeText(const std::string& text, char separator) {
  const std::string pattern = std::string("dddd-dd-dd") + separator + "dd:dd:dd";
  if (text.size() != pattern.size()) return false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool digit = text[at] >= '0' && text[at] <= '9';
    if (pattern[at] == 'd' ? !digit : text[at] != pattern[at]) return false;
  }
  return true;
}

bool IsRfc3339Time(const std::string& text) {
  if (!text.empty() && text.back() == 'Z') return IsTimeText(text.substr(0, text.size() - 1), 'T');
  const std::size_t offset = text.size() >= 6 ? text.size() - 6 : 0;
  const std::string zone = text.substr(offset);
  return IsTimeText(text.substr(0, offset), 'T') && zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') &&
         IsTimeText("2000-01-01T" + zone.substr(1) + ":00", 'T');
}

std::string ConfigText(const std::vector<std::string>& devices) {
  std::string text = "{\"devices\": [";
  for (std::size_t index = 0; index < devices.size(); ++index) {
    text += (index == 0 ? "\n  " : ",\n  ") + devices[index];
  }
  return text + "\n]}\n";
}

std::string DeviceText(int id, const std::string& agent, int address, int mode) {
  return "{\"id\": " + std::to_string(id) +
         (agent.empty() ? "" : ", \"agent\": \"" + agent + "\"") +
         ", \"address\": " + std::to_string(address) + ", \"appSetting\": {\"b_mode\": \"" +
         std::to_string(mode) + "\"}}";
}
