// zrmhost with the real plug-in against the cabinet simulator: one round in alarm mode.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

TEST(RunnerRealPlugin, OneRoundInAlarmModePrintsTheTableAndTheRaisedAlarm) {
  CabinetAgent agent;
  agent.SetColumns(4, {{324, "1"}, {1, "231.4"}});
  ScratchDir dir;
  const std::string config = dir.Write("config.json", ConfigText({DeviceText(12, agent.address(), 4, 2)}));

  const ProcessResult result = RunProcess({ZRMHOST_PATH, "run", "--plugin", PLUGIN_PATH, "--config",
                                           config, "--json", "--rounds", "1", "--timeout", "20"});
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<Json::Value> events = ParseJsonLines(result.out);

  const std::vector<Json::Value> rounds = RoundsOf(events, 12);
  ASSERT_EQ(rounds.size(), 1u) << result.out.substr(0, 2000);
  const Json::Value& values = rounds[0]["values"];
  ASSERT_EQ(values.size(), 1397u);
  EXPECT_EQ(static_cast<float>(values[0].asDouble()), 231.4f);    // as set
  EXPECT_EQ(static_cast<float>(values[1].asDouble()), 229.8f);    // the simulator's default
  EXPECT_EQ(static_cast<float>(values[220].asDouble()), 24.6f);   // temperature, c221
  EXPECT_EQ(values[323].asDouble(), 1.0);                         // lightning protection, c324
  EXPECT_EQ(values[324].asDouble(), 0.0);

  int raised = 0;
  for (const Json::Value& event : events) {
    if (event["event"] != "alarm") continue;
    EXPECT_EQ(event["device"], 12);
    if (event["signal"] != 82) continue;
    ++raised;
    EXPECT_EQ(event["id"], "120830170820");
    EXPECT_EQ(event["name"], "第一路防雷状态");
    EXPECT_EQ(event["active"], true);
  }
  EXPECT_EQ(raised, 1) << result.out.substr(0, 2000);
}

// A device whose SNMPv3 setting the plug-in would refuse: the run is refused before any device
// starts, with zrmhost check's line naming the device and the key but not the passphrase.
TEST(RunnerRealPlugin, RefusedAccessSettingStopsTheRunBeforeAnyDeviceWalks) {
  CabinetAgent agent({{4}, true, "qondel", {"alice:SHA-512:alice-auth-1:AES-256:alice-priv-1"}});
  ScratchDir dir;
  const std::string v3 = R"("snmp_version": "3", "security_name": "alice", "security_level": "authPriv",
      "auth_protocol": "SHA-512", "auth_passphrase": "alice-auth-1", "priv_protocol": "AES-256")";
  const std::string config = dir.Write(
      "config.json", ConfigText({R"({"id": 12, "agent": ")" + agent.address() + R"(", "address": 4,
          "appSetting": {)" + v3 + R"(, "priv_passphrase": "alice-priv-1"}})",
                                 R"({"id": 13, "agent": ")" + agent.address() + R"(", "address": 4,
          "appSetting": {)" + v3 + R"(, "priv_passphrase": "short"}})"}));

  const ProcessResult result = RunProcess({ZRMHOST_PATH, "run", "--plugin", PLUGIN_PATH, "--config",
                                           config, "--json", "--rounds", "1", "--timeout", "5"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "zrmhost: configuration " + config +
                            ": devices[1] (id 13): appSetting.priv_passphrase refused: needs a passphrase "
                            "of at least 8 characters\n");
  EXPECT_EQ(result.out, "");
}

// A device that completes no round because its agent refuses its credentials: the runner's
// giving-up line repeats the device's last failing cause, and the plug-in's own line still
// reaches standard error.
TEST(RunnerRealPlugin, GivingUpNamesTheLastFailingCause) {
  CabinetAgent agent({{4}, true, "qondel", {"alice:SHA:alice-auth-1"}});
  ScratchDir dir;
  const std::string config = dir.Write(
      "config.json", ConfigText({R"({"id": 12, "agent": ")" + agent.address() + R"(", "address": 4,
          "appSetting": {"snmp_version": "3", "security_name": "mallory", "security_level": "authNoPriv",
                         "auth_protocol": "SHA", "auth_passphrase": "alice-auth-1"}})"}));
  const ProcessResult result = RunProcess({ZRMHOST_PATH, "run", "--plugin", PLUGIN_PATH, "--config",
                                           config, "--json", "--rounds", "1", "--timeout", "2"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("device 12 agent " + agent.address() + ": failing: authentication failed: "),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("zrmhost: device 12 (agent " + agent.address() +
                            ") completed no round within 2 s: failing: authentication failed: "),
            std::string::npos)
      << result.err;
  EXPECT_EQ(result.err.find("alice-auth"), std::string::npos) << result.err;
}

}  // namespace
