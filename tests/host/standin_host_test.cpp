// The stand-in host's own choices: the time layout, signal transitions and history files.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "standin_host.h"
#include "test_device.h"

namespace {

TEST(StandinHost, TimeIsYearLittleEndianThenMonthDayHourMinuteSecond) {
  const auto time = boost::posix_time::ptime(boost::gregorian::date(2026, 12, 10),
                                             boost::posix_time::time_duration(4, 5, 6));
  const ttime stamp = get_ttime(time);
  const std::string bytes(reinterpret_cast<const char*>(&stamp), sizeof stamp);
  EXPECT_EQ(bytes, std::string("\xea\x07\x0c\x0a\x04\x05\x06", 7));
  const ttime none = get_ttime(boost::posix_time::ptime());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&none), 7), std::string(7, '\0'));
}

TEST(StandinHost, InitReadsTheAgentAndTheDeviceAddress) {
  TestDevice device;
  EXPECT_EQ(device.Init({}, 7, ParseJson(R"({"agent":"udp:127.0.0.1:1161","address":5})")), 0);
  EXPECT_EQ(device.DataId(), 7u);
  EXPECT_EQ(device.Init({}, 7, ParseJson(R"({"address":256})")), -1);
  EXPECT_EQ(device.Init({}, 7, ParseJson(R"({"address":"4"})")), -1);
}

TEST(StandinHost, HistoryFileHoldsEveryStoredRecord) {
  char directory[] = "/tmp/standin-history-XXXXXX";
  ASSERT_NE(mkdtemp(directory), nullptr);
  standin::SetHistoryDirectory(directory);
  TestDevice device;
  InitHostSide(device, 31);
  testing::internal::CaptureStdout();
  device.SetColumn(2, 1.5f);
  device.RoundDone();
  device.SetColumn(2, 2.5f);
  device.RoundDone();
  testing::internal::GetCapturedStdout();
  standin::SetHistoryDirectory("");

  const std::string path = std::string(directory) + "/" + standin::HistoryFileName(31);
  std::ifstream file(path, std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  const auto stored = standin::HistoryOf(device);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(contents.str(), stored[0] + stored[1]);
  std::remove(path.c_str());
  rmdir(directory);
}

}  // namespace
