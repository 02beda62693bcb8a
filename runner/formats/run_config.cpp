#include "run_config.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <set>

#include <json/reader.h>

#include "agent_address.h"
#include "json_text.h"
#include "settings_check.h"
#include "nearest_key.h"
#include "runner_error.h"

namespace qiraoid {

namespace {

// jsoncpp reports "* Line 3, Column 5\n  Missing ',' ...\n"; this keeps the first error as
// "line 3, column 5: Missing ',' ...".
std::string FirstSyntaxError(const std::string& report) {
  int line = 0;
  int column = 0;
  if (std::sscanf(report.c_str(), "* Line %d, Column %d", &line, &column) != 2) return report;
  std::size_t start = report.find('\n');
  start = start == std::string::npos ? report.size() : report.find_first_not_of(" \t\n", start);
  std::size_t end = start == std::string::npos ? std::string::npos : report.find('\n', start);
  std::string message = start == std::string::npos ? "" : report.substr(start, end - start);
  return "line " + std::to_string(line) + ", column " + std::to_string(column) +
         (message.empty() ? "" : ": " + message);
}

// jsoncpp takes a NUL byte for the end of the text, so it would accept a document followed by a
// NUL and anything at all.
void RefuseNul(const std::string& name, std::string_view text) {
  const std::size_t nul = text.find('\0');
  if (nul == std::string_view::npos) return;
  throw RunnerError("configuration " + name + " is not valid JSON: it holds a NUL byte at offset " +
                    std::to_string(nul));
}

// Strict: one document and nothing after it but white space, no comments, no repeated keys, at
// most 1000 levels of nesting.
Json::Value ParseJson(const std::string& name, std::string_view text) {
  RefuseNul(name, text);
  Json::CharReaderBuilder builder;
  Json::CharReaderBuilder::strictMode(&builder.settings_);
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  const std::string invalid = "configuration " + name + " is not valid JSON: ";
  try {
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
      throw RunnerError(invalid + FirstSyntaxError(errors));
    }
  } catch (const Json::Exception& error) {
    throw RunnerError(invalid + error.what());  // "Exceeded stackLimit in readValue()."
  }
  return root;
}

// Checks one device entry, collecting every problem as a whole message.
class DeviceChecker {
 public:
  DeviceChecker(const std::string& name, AgentUse agent_use, std::set<uint32_t>& seen,
                std::vector<std::string>& problems)
      : name_(name), agent_use_(agent_use), seen_(seen), problems_(problems) {}

  DeviceConfig Check(const Json::Value& device, Json::ArrayIndex index) {
    where_ = "configuration " + name_ + ": devices[" + std::to_string(index) + "]";
    DeviceConfig config;
    if (!device.isObject()) {
      Problem("is not an object");
      return config;
    }
    if (const std::optional<uint32_t> id = Id(device["id"])) {
      config.id = *id;
      where_ += " (id " + std::to_string(config.id) + ")";
    }
    CheckAddress(device["address"]);
    config.json = device;
    if (agent_use_ == AgentUse::kRequired) {
      config.agent = Agent(device["agent"]);
    } else {
      config.json.removeMember("agent");
    }
    CheckKeys(device);
    return config;
  }

 private:
  void Problem(const std::string& what) const { problems_.push_back(where_ + " " + what); }

  std::optional<uint32_t> Id(const Json::Value& id) {
    if (id.isNull()) return Problem("has no \"id\""), std::nullopt;
    // isUInt, not a range check after asLargestInt: that throws for integers above int64's range.
    if (!id.isUInt()) return Problem("has an \"id\" that is not a whole number in 0-4294967295"), std::nullopt;
    const auto value = static_cast<uint32_t>(id.asUInt());
    if (!seen_.insert(value).second) Problem("repeats id " + std::to_string(value));
    return value;
  }

  void CheckAddress(const Json::Value& address) const {
    if (address.isNull()) return Problem("has no \"address\"");
    if (!address.isUInt() || address.asUInt() > 255) {
      Problem("has an \"address\" that is not a whole number in 0-255");
    }
  }

  std::string Agent(const Json::Value& agent) const {
    if (agent.isNull()) return Problem("has no \"agent\""), "";
    if (!agent.isString() || agent.asString().empty()) {
      return Problem("has an \"agent\" that is not a Net-SNMP address such as \"udp:127.0.0.1:1161\""), "";
    }
    const std::string problem = AgentAddressProblem(agent.asString());
    if (!problem.empty()) {
      Problem("has an \"agent\" that is not a usable SNMP address ([udp:|tcp:|udp6:|tcp6:]host[:port]): " +
              problem);
    }
    return agent.asString();
  }

  // A mistyped key would be ignored in silence, leaving the device without what it meant.
  void CheckKeys(const Json::Value& device) const {
    for (const std::string& key : device.getMemberNames()) {
      if (std::find(KnownDeviceKeys().begin(), KnownDeviceKeys().end(), key) != KnownDeviceKeys().end()) continue;
      const std::optional<std::string> nearest = NearestKey(key, KnownDeviceKeys());
      Problem("has a key " + JsonQuoted(key) + " that neither the runner nor the device reads" +
              (nearest ? "; did you mean " + *nearest + "?" : ""));
    }
  }

  const std::string& name_;
  AgentUse agent_use_;
  std::set<uint32_t>& seen_;  // the ids of the entries before
  std::vector<std::string>& problems_;
  std::string where_;
};

}  // namespace

const std::vector<std::string>& KnownDeviceKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> all = {"id", "agent", "address"};
    all.insert(all.end(), kDeviceKeys.begin(), kDeviceKeys.end());
    return all;
  }();
  return keys;
}

CheckedRunConfig CheckRunConfig(std::string_view text, const std::string& name, AgentUse agent_use) {
  const Json::Value root = ParseJson(name, text);
  const Json::Value& devices = root.isObject() ? root["devices"] : Json::Value::nullSingleton();
  if (devices.isArray() && devices.empty()) {
    throw RunnerError("configuration " + name + " has an empty \"devices\" list: there is nothing to run");
  }
  if (!devices.isArray()) {
    throw RunnerError("configuration " + name + " has no \"devices\" list: expected {\"devices\": [{...}, ...]}");
  }
  if (devices.size() > kDeviceLimit) {
    throw RunnerError("configuration " + name + " lists " + std::to_string(devices.size()) +
                      " devices; the runner runs at most " + std::to_string(kDeviceLimit));
  }
  CheckedRunConfig checked;
  std::set<uint32_t> seen_ids;
  checked.problems.resize(devices.size());
  for (Json::ArrayIndex index = 0; index < devices.size(); ++index) {
    DeviceChecker checker(name, agent_use, seen_ids, checked.problems[index]);
    checked.devices.push_back(checker.Check(devices[index], index));
  }
  return checked;
}

std::vector<DeviceConfig> ParseRunConfig(std::string_view text, const std::string& name,
                                         AgentUse agent_use) {
  CheckedRunConfig checked = CheckRunConfig(text, name, agent_use);
  for (const auto& problems : checked.problems) {
    if (!problems.empty()) throw RunnerError(problems.front());
  }
  return std::move(checked.devices);
}

std::vector<uint32_t> DeviceIds(const std::vector<DeviceConfig>& configs) {
  std::vector<uint32_t> ids;
  for (const auto& config : configs) ids.push_back(config.id);
  return ids;
}

}  // namespace qiraoid
