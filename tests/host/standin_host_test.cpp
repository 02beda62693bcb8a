// The stand-in host's own choices: the time layout, signal transitions and history files.
#include <cstdint>
#include <string>
#include <vector>

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

// Records the ids and records it is given, as a run's history store is given them.
class RecordingKeeper : public standin::HistoryKeeper {
 public:
  void Store(uint32_t device_id, const std::string& record) override {
    ids.push_back(device_id);
    records.push_back(record);
  }
  std::vector<uint32_t> ids;
  std::vector<std::string> records;
};

TEST(StandinHost, HistoryKeeperIsGivenEveryStoredRecord) {
  RecordingKeeper keeper;
  standin::SetHistoryKeeper(&keeper);
  TestDevice device;
  InitHostSide(device, 31);
  testing::internal::CaptureStdout();
  device.SetColumn(2, 1.5f);
  device.RoundDone();
  device.SetColumn(2, 2.5f);
  device.RoundDone();
  testing::internal::GetCapturedStdout();
  standin::SetHistoryKeeper(nullptr);

  const auto stored = standin::HistoryOf(device);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_NE(stored[0], stored[1]);
  EXPECT_EQ(keeper.ids, (std::vector<uint32_t>{31, 31}));
  EXPECT_EQ(keeper.records, stored);
}

}  // namespace
