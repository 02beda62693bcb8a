// zrmhost run --json with the real plug-in: an agent whose table stops short is told as failing,
// with its cause, and as answering again once the table is whole; rounds carry their pass's
// figures; every time is RFC 3339 with the local offset.
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

bool AwaitText(const Subprocess& process, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
  while (process.OutputSoFar().find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
}

std::string EndOf(const std::string& text, size_t length) {
  return text.size() < length ? text : text.substr(text.size() - length);
}

TEST(RunnerJsonHealth, AgentFailingAndAnsweringAgainAreEventsAndTimesCarryTheOffset) {
  CabinetAgent agent({{4}, true, "qondel", {}}, "4.1 230.5\n4.324 0\n");  // a table ending at 324
  ScratchDir dir;
  const std::string config = dir.Write(
      "config.json", ConfigText({R"({"id": 12, "agent": ")" + agent.address() +
                                 R"(", "address": 4, "appSetting": {"b_mode": "2", "max_repetitions": 50}})"}));
  // India keeps one offset all year, so the expected text does not depend on the date.
  Subprocess runner({"/usr/bin/env", "TZ=Asia/Kolkata", ZRMHOST_PATH, "run", "--plugin", PLUGIN_PATH,
                     "--config", config, "--json"});
  ASSERT_TRUE(AwaitText(runner, R"("state":"failing")")) << runner.ErrorSoFar();
  agent.SetColumns(4, {{1397, "7"}});
  ASSERT_TRUE(AwaitText(runner, R"("state":"answering")")) << runner.OutputSoFar();
  runner.Signal(SIGINT);
  const ProcessResult result = runner.Wait();
  EXPECT_EQ(result.exit_code, 0) << result.err;

  std::vector<Json::Value> agents;
  std::vector<Json::Value> rounds;
  for (const Json::Value& event : ParseJsonLines(result.out)) {
    if (event["event"] == "agent") agents.push_back(event);
    if (event["event"] == "round") rounds.push_back(event);
  }
  ASSERT_EQ(agents.size(), 2u) << result.out;
  EXPECT_EQ(agents[0]["device"], 12);
  EXPECT_EQ(agents[0]["agent"], agent.address());
  EXPECT_EQ(agents[0]["cause"], "the agent's table ends at column 324");
  EXPECT_EQ(agents[1]["state"], "answering");
  EXPECT_GE(agents[1]["failed_seconds"].asDouble(), 0.0);
  EXPECT_FALSE(agents[1].isMember("cause"));
  ASSERT_GE(rounds.size(), 2u);
  for (const Json::Value& event : agents) {
    EXPECT_TRUE(IsRfc3339Time(event["time"].asString())) << event["time"];
    EXPECT_EQ(EndOf(event["time"].asString(), 6), "+05:30");
  }
  for (const Json::Value& round : rounds) {
    EXPECT_TRUE(IsRfc3339Time(round["time"].asString())) << round["time"];
    EXPECT_EQ(EndOf(round["time"].asString(), 6), "+05:30");
    const Json::Value& pass = round["pass"];
    EXPECT_GE(pass["requests"].asInt(), 1) << pass;
    for (const char* figure : {"retransmissions", "silences", "bulk_give_ups"}) EXPECT_EQ(pass[figure], 0) << figure;
    EXPECT_GT(pass["seconds"].asDouble(), 0.0);
  }
}

}  // namespace
