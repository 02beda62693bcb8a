// How the uniform data device reads its mode and threshold entries, and what it logs.
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "standin_host.h"
#include "test_device.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs InitSetting on a device with id 12 and returns what it logged.
std::vector<std::string> InitSettingLog(TestDevice& device, const std::string& config) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(device.InitSetting(ParseJson(config)), 1);  // the host's result, passed on
  return Lines(testing::internal::GetCapturedStdout());
}

TEST(Settings, ModeComesFromAppSettingTextLikeAtoi) {
  const struct {
    const char* config;
    int mode;
    std::vector<std::string> log;
  } rows[] = {
      {R"({})", 1, {}},
      {R"({"appSetting":{"b_mode":"3"}})", 3, {"InitSetting 12 b_mode_:3", "here 1"}},
      {R"({"appSetting":{"b_mode":"2abc"}})", 2, {"InitSetting 12 b_mode_:2"}},
      {R"({"appSetting":{"b_mode":"abc"}})", 0, {"InitSetting 12 b_mode_:0"}},
      {R"({"appSetting":{"b_mode":" -7"}})", -7, {"InitSetting 12 b_mode_:-7"}},
      {R"({"appSetting":{"b_mode":2}})", 2, {"InitSetting 12 b_mode_:2"}},
      {R"({"appSetting":{"b_mode":null}})", 1, {}},
      {R"({"appSetting":{}})", 1, {}},
      {R"({"appSetting":null})", 1, {}},
      {R"({"appSetting":[{"b_mode":"2"}]})", 1, {}},
      {R"({"appSetting":"3"})", 1, {}},
      {R"({"appSetting":{"b_mode":"3"},"thresholdSetting":{}})", 3,
       {"InitSetting 12 b_mode_:3", "here 1", "here 2"}},
      {R"({"appSetting":{"b_mode":"2"},"thresholdSetting":{"k":{"SignalName":"x"}}})", 2,
       {"InitSetting 12 b_mode_:2"}},
  };
  for (const auto& row : rows) {
    TestDevice device;
    InitHostSide(device, 12);
    EXPECT_EQ(InitSettingLog(device, row.config), row.log) << row.config;
    EXPECT_EQ(device.b_mode_, row.mode) << row.config;
    EXPECT_TRUE(device.alarm_id_map_.empty()) << row.config;
    EXPECT_TRUE(device.signal_name_map_.empty()) << row.config;
    const std::string record = device.RecordBytes();
    EXPECT_EQ(record.substr(0, 4), std::string("\x0c\0\0\0", 4)) << row.config;
    EXPECT_EQ(record.substr(4), std::string(5595, '\0')) << row.config;
    EXPECT_EQ(standin::CallsOf(device).back().name, "InitSetting") << row.config;
  }
}

TEST(Settings, ModeThreeReadsThresholdEntries) {
  TestDevice device;
  InitHostSide(device, 12);
  device.level_map_["k1"] = 3;
  device.value_map_["k1"] = 2.5f;
  const auto log = InitSettingLog(device, R"({
    "appSetting": {"b_mode": "3"},
    "thresholdSetting": {
      "k1": {"SignalName": "一路电压", "NMAlarmID": "7", "ID": "1001", "SignalNumber": 3},
      "k2": {"SignalName": "only a name"},
      "k3": "not an entry",
      "k4": {"ID": "5"}
    }})");
  EXPECT_THAT(log, ElementsAre("InitSetting 12 b_mode_:3", "here 1", "here 2",
                               "here k1", "mobile:k1:7;1001;3; level:3 value:2.5",
                               "here k2", "12 NMAlarmID is missing", "12 ID is missing",
                               "12 SignalNumber is missing", "mobile:k2:;;; level:0 value:0",
                               "here k3",
                               "here k4", "12 NMAlarmID is missing",
                               "12 SignalNumber is missing", "mobile:k4:;5;; level:0 value:0"));
  EXPECT_THAT(device.alarm_id_map_,
              ElementsAre(Pair("k1", "7;1001;3;"), Pair("k2", ";;;"), Pair("k4", ";5;;")));
  EXPECT_THAT(device.signal_name_map_,
              ElementsAre(Pair("k1", "一路电压"), Pair("k2", "only a name")));
  // The host's maps gained the keys they did not hold, at zero.
  EXPECT_THAT(device.level_map_, ElementsAre(Pair("k1", 3), Pair("k2", 0), Pair("k4", 0)));
  EXPECT_EQ(device.value_map_.count("k2"), 1u);
}

TEST(Settings, SecondCallUpdatesKeysAndKeepsTheMode) {
  TestDevice device;
  InitHostSide(device, 12);
  InitSettingLog(device, R"({"appSetting":{"b_mode":"3"},"thresholdSetting":{
      "k1":{"SignalName":"old","NMAlarmID":"1","ID":"2","SignalNumber":"3"},
      "k2":{"SignalName":"kept","NMAlarmID":"4","ID":"5","SignalNumber":"6"}}})");
  const auto log = InitSettingLog(device, R"({"thresholdSetting":{
      "k1":{"NMAlarmID":"9","ID":"8","SignalNumber":"7"}}})");
  EXPECT_THAT(log, ElementsAre("here 1", "here 2", "here k1", "mobile:k1:9;8;7; level:0 value:0"));
  EXPECT_EQ(device.b_mode_, 3);
  EXPECT_THAT(device.alarm_id_map_, ElementsAre(Pair("k1", "9;8;7;"), Pair("k2", "4;5;6;")));
  EXPECT_THAT(device.signal_name_map_, ElementsAre(Pair("k1", "old"), Pair("k2", "kept")));
}

}  // namespace
