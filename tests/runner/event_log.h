// Reads the runner's --json output for tests: one JSON object per line, and each device's events
// in order as short text ("round 2", "alarm 82 on").
#pragma once

#include <string>
#include <vector>

#include <json/value.h>
#include <json/writer.h>  // lets test failures print values

// Adds a test failure for each line that is not a JSON object.
std::vector<Json::Value> ParseJsonLines(const std::string& text);

std::vector<std::string> EventsOf(const std::vector<Json::Value>& events, int device);

// The round events of one device, in order.
std::vector<Json::Value> RoundsOf(const std::vector<Json::Value>& events, int device);

// Whether text reads "YYYY-MM-DD<separator>hh:mm:ss".
bool IsTimeText(const std::string& text, char separator);
// Whether text reads "YYYY-MM-DDThh:mm:ss+hh:mm" (or -hh:mm, or Z), RFC 3339 with an offset.
bool IsRfc3339Time(const std::string& text);

// Lists the devices' JSON objects as a configuration file.
std::string ConfigText(const std::vector<std::string>& devices);
// One device object: id, agent (omitted when empty), address and b_mode.
std::string DeviceText(int id, const std::string& agent, int address, int mode);
