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

}  // namespace
