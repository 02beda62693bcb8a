// zrmhost run against the fake plug-in: what it prints, when it stops, and that it takes the
// devices down in the host's order.
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

const std::string kRunner = ZRMHOST_PATH;
const std::string kPlugin = FAKE_PLUGIN_PATH;

// The device's thread is joined before the providers go, and they before the library.
void ExpectHostTeardownOrder(const std::string& err, int device) {
  const auto deleted = err.find("fake device " + std::to_string(device) + " deleted");
  const auto released = err.find("fake provider released");
  const auto unloaded = err.find("fake plug-in unloaded");
  ASSERT_NE(deleted, std::string::npos) << err;
  ASSERT_NE(released, std::string::npos) << err;
  ASSERT_NE(unloaded, std::string::npos) << err;
  EXPECT_LT(deleted, released);
  EXPECT_LT(released, unloaded);
}

// Every device is asked to stop polling before the first is deleted, so that all wind down at
// once rather than each waiting while the others go on walking.
void ExpectAllAskedToStopFirst(const std::string& err, const std::vector<int>& devices) {
  const auto first_deleted = err.find(" deleted");
  ASSERT_NE(first_deleted, std::string::npos) << err;
  for (const int device : devices) {
    const auto asked = err.find("fake device " + std::to_string(device) + " asked to stop");
    ASSERT_NE(asked, std::string::npos) << err;
    EXPECT_LT(asked, first_deleted) << device;
  }
}

class RunTest : public ::testing::Test {
 protected:
  std::vector<std::string> Run(const std::vector<std::string>& devices,
                               std::vector<std::string> options) {
    std::vector<std::string> argv = {kRunner, "run", "--plugin", kPlugin, "--config",
                                     dir_.Write("config.json", ConfigText(devices))};
    argv.insert(argv.end(), options.begin(), options.end());
    return argv;
  }

  ScratchDir dir_;
};

TEST_F(RunTest, JsonShowsEachDevicesRoundsAndOnlyAlarmChangesUpToTheGoal) {
  // Device 12 walks far faster than 13: the run still prints two rounds of each.
  const ProcessResult result = RunProcess(Run(
      {DeviceText(12, "fake:10", 4, 2), DeviceText(13, "fake:150", 5, 1)}, {"--json", "--rounds", "2"}));
  ASSERT_EQ(result.exit_code, 0) << result.err;

  const std::vector<Json::Value> events = ParseJsonLines(result.out);
  EXPECT_EQ(EventsOf(events, 12), (std::vector<std::string>{"round 1", "alarm 1 on", "alarm 82 on",
                                                            "round 2", "alarm 82 off"}));
  EXPECT_EQ(EventsOf(events, 13), (std::vector<std::string>{"round 1", "round 2"}));

  for (const auto& [device, address] : {std::pair{12, 4}, std::pair{13, 5}}) {
    for (const Json::Value& round : RoundsOf(events, device)) {
      const Json::Value& values = round["values"];
      const int number = round["round"].asInt();
      ASSERT_EQ(values.size(), 1397u);
      EXPECT_EQ(values[0].asDouble(), number);
      EXPECT_EQ(values[1].asDouble(), address + 1.0);
      EXPECT_EQ(values[2].asDouble(), address + 1.5);
      EXPECT_EQ(values[323].asDouble(), number % 2);
      EXPECT_EQ(values[1396].asDouble(), address + 698.5);
      EXPECT_TRUE(IsRfc3339Time(round["time"].asString())) << round["time"];
    }
  }
  for (const Json::Value& event : events) {
    if (event["event"] == "alarm" && event["signal"] == 82) {
      EXPECT_EQ(event["id"], "120830170820");
      EXPECT_EQ(event["name"], "第一路防雷状态");
    }
  }
  // The plug-in's own log lines went to standard error.
  EXPECT_NE(result.err.find("fake device 12 walked round 1"), std::string::npos) << result.err;
  ExpectHostTeardownOrder(result.err, 12);
  ExpectAllAskedToStopFirst(result.err, {12, 13});
}

// RFC 3339 with the offset local time has: Z in UTC, the zone's offset elsewhere.
TEST_F(RunTest, JsonTimesCarryTheLocalOffset) {
  const struct {
    const char* zone;
    std::vector<std::string> offsets;
  } rows[] = {{"TZ=UTC", {"Z"}}, {"TZ=Asia/Kolkata", {"+05:30"}}, {"TZ=America/New_York", {"-05:00", "-04:00"}}};
  for (const auto& row : rows) {
    std::vector<std::string> argv = Run({DeviceText(12, "fake:10", 4, 2)}, {"--json", "--rounds", "1"});
    argv.insert(argv.begin(), {"/usr/bin/env", row.zone});
    const ProcessResult result = RunProcess(argv);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    const std::vector<Json::Value> events = ParseJsonLines(result.out);
    const std::vector<Json::Value> rounds = RoundsOf(events, 12);
    ASSERT_EQ(rounds.size(), 1u) << row.zone;
    const std::string time = rounds[0]["time"].asString();
    EXPECT_TRUE(IsRfc3339Time(time)) << time;
    bool offset_found = false;
    for (const std::string& offset : row.offsets) {
      offset_found = offset_found || time.compare(time.size() - offset.size(), offset.size(), offset) == 0;
    }
    EXPECT_TRUE(offset_found) << row.zone << " " << time;
    EXPECT_FALSE(rounds[0].isMember("pass"));  // the fake plug-in has no driver figures
    int alarms = 0;
    for (const Json::Value& event : events) {
      if (event["event"].asString() != "alarm") continue;
      ++alarms;
      EXPECT_EQ(event["time"].asString(), time) << row.zone;  // the time of the round that told it
    }
    EXPECT_EQ(alarms, 2) << result.out.substr(0, 2000);
  }
}

TEST_F(RunTest, TextShowsOneLinePerRoundAndAlarmChange) {
  const ProcessResult result = RunProcess(Run({DeviceText(12, "fake:10", 4, 2)}, {"--rounds", "1"}));
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 3u) << result.out;
  const std::string at = "device 12 round 1 at ";
  ASSERT_GT(lines[0].size(), at.size() + 19) << lines[0];
  EXPECT_EQ(lines[0].substr(0, at.size()), at);
  EXPECT_TRUE(IsTimeText(lines[0].substr(at.size(), 19), ' ')) << lines[0];
  EXPECT_EQ(lines[0].substr(at.size() + 19),
            ": c1=1 c2=5 c3=5.5 c4=6 c5=6.5 c6=7 c7=7.5 c8=8 ... (1397 values, 1396 non-zero)");
  EXPECT_EQ(lines[1], "device 12 signal 1 raised: 120830010010 第一路U1上上限");
  EXPECT_EQ(lines[2], "device 12 signal 82 raised: 120830170820 第一路防雷状态");
}

struct SilentDevice {
  const char* name;
  const char* agent;
  const char* rounds;
  const char* message;
};

void PrintTo(const SilentDevice& silent, std::ostream* out) { *out << silent.name; }

class SilentDeviceTest : public RunTest, public ::testing::WithParamInterface<SilentDevice> {};

TEST_P(SilentDeviceTest, TimeoutNamesTheDeviceAndItsAgentAndFails) {
  const SilentDevice& silent = GetParam();
  const ProcessResult result = RunProcess(
      Run({DeviceText(12, "fake:10", 4, 2), DeviceText(13, silent.agent, 5, 2)},
          {"--json", "--rounds", silent.rounds, "--timeout", "1"}));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find(std::string("zrmhost: device 13 (agent ") + silent.agent +
                            ") completed no round within 1 s" + silent.message),
            std::string::npos)
      << result.err;
  ParseJsonLines(result.out);
  ExpectHostTeardownOrder(result.err, 13);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, SilentDeviceTest,
    ::testing::Values(
        SilentDevice{"NeverAnswers", "silent:161", "1",
                     ": its agent is unreachable or does not answer; giving up"},
        SilentDevice{"StopsAnswering", "fake1:10", "3",
                     " after its round 1: its agent stopped answering or the device stalled"}),
    [](const auto& info) { return std::string(info.param.name); });

class StopSignalTest : public RunTest, public ::testing::WithParamInterface<int> {};

TEST_P(StopSignalTest, StopsCleanlyAfterTheRoundsSoFar) {
  Subprocess runner(Run({DeviceText(12, "fake:20", 4, 2)}, {"--json"}));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (runner.OutputSoFar().find("\"round\":2") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  runner.Signal(GetParam());
  const ProcessResult result = runner.Wait();
  EXPECT_EQ(result.term_signal, 0);
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.err.find(GetParam() == SIGINT ? "stopping on SIGINT" : "stopping on SIGTERM"),
            std::string::npos)
      << result.err;
  const std::vector<std::string> events = EventsOf(ParseJsonLines(result.out), 12);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0], "round 1");
  ExpectHostTeardownOrder(result.err, 12);
}

INSTANTIATE_TEST_SUITE_P(Runner, StopSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& info) { return info.param == SIGINT ? "SIGINT" : "SIGTERM"; });

}  // namespace
