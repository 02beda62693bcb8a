// The cabinet device's construction, its idle operations and its sampling thread's life.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_table.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

TEST(QiraoidDevice, ConstructionPreparesTheSessionTemplate) {
  QiraoidProbe device;
  EXPECT_EQ(device.DeviceType(), "snmp_qiraoid");
  const netsnmp_session session = device.TEST_poller().TEST_SessionTemplate();
  EXPECT_EQ(session.version, SNMP_VERSION_2c);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(session.community), session.community_len), "qondel");
  EXPECT_EQ(session.community_len, 6u);
  EXPECT_EQ(session.timeout, 10000000);
  EXPECT_EQ(session.retries, 1);
  EXPECT_EQ(device.TEST_poller().TEST_max_repetitions(), 0) << "one binding per request until appSetting asks for more";
  EXPECT_EQ(device.RecordBytes(), std::string(5599, '\0'));
  unsigned char byte = 0;
  EXPECT_EQ(device.RefreshStatus(), 0);
  EXPECT_EQ(device.process_data(3, &byte, 1), 0);
  EXPECT_EQ(device.process_data(-1, nullptr, -5), 0);
}

// Each device address has its own table below the enterprise's, the address in the tenth place.
TEST(QiraoidDevice, TableRootNamesTheDeviceAddress) {
  const struct {
    oid address;
    std::vector<oid> root;
  } rows[] = {
      {4, {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0}},
      {7, {1, 3, 6, 1, 4, 1, 61333, 1, 1, 7, 0}},
      {255, {1, 3, 6, 1, 4, 1, 61333, 1, 1, 255, 0}},
  };
  for (const auto& row : rows) EXPECT_EQ(CabinetTableRoot(row.address), row.root) << row.address;
}

// Without an agent address a pass only logs; the thread starts once, however often the host
// calls InitSetting, and deleting the device stops it during its pause.
TEST(QiraoidDevice, ThreadStartsOnceAndStopsOnDelete) {
  auto* device = new QiraoidProbe;
  InitHostSide(*device, 21);
  testing::internal::CaptureStdout();
  EXPECT_EQ(device->InitSetting(ParseJson(R"({"appSetting":{"b_mode":"2"}})")), 1);
  EXPECT_EQ(device->RecordBytes().substr(0, 4), std::string("\x15\0\0\0", 4));
  EXPECT_EQ(device->InitSetting(ParseJson(R"({"appSetting":{"b_mode":"1"}})")), 1);
  EXPECT_EQ(device->b_mode_, 1);
  delete device;
  const std::string log = testing::internal::GetCapturedStdout();
  // One thread made at most one pass before the stop: each pass logs once.
  size_t passes = 0;
  for (size_t at = log.find("SNMP_QIRAOID::do_sample"); at != std::string::npos;
       at = log.find("SNMP_QIRAOID::do_sample", at + 1)) {
    ++passes;
  }
  EXPECT_LE(passes, 1u);
  EXPECT_EQ(log.find("rvSize"), std::string::npos);
}

// max_repetitions comes as a number or as text, like b_mode; anything but a whole number from 1
// to 100 is refused with one line naming the device and the value, and one binding is asked for.
TEST(QiraoidDevice, MaxRepetitionsIsReadOrRefusedWithOneLine) {
  const struct {
    const char* setting;
    long expected;
    const char* refused;  // the value as the line names it; null when accepted
  } rows[] = {
      {"10", 10, nullptr},     {"\"100\"", 100, nullptr}, {"1", 1, nullptr},
      {"0", 0, "0"},           {"101", 0, "101"},         {"\"abc\"", 0, "\"abc\""},
      {"{}", 0, "{}"},         {"[]", 0, "[]"},           {"1.5", 0, "1.5"},
      {"\"-5\"", 0, "\"-5\""}, {"true", 0, "true"},
  };
  for (const auto& row : rows) {
    QiraoidProbe device;
    InitHostSide(device, 12);
    device.AskForRepetitions(50);
    testing::internal::CaptureStdout();
    device.InitSetting(ParseJson(std::string(R"({"appSetting":{"max_repetitions":)") + row.setting + "}}"));
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_EQ(device.TEST_poller().TEST_max_repetitions(), row.expected) << row.setting;
    const bool logged = log.find("device 12: max_repetitions " + std::string(row.refused ? row.refused : "")) !=
                        std::string::npos;
    EXPECT_EQ(logged, row.refused != nullptr) << row.setting << "\n" << log;
  }
  QiraoidProbe device;
  InitHostSide(device, 12);
  device.AskForRepetitions(50);
  testing::internal::CaptureStdout();
  device.InitSetting(ParseJson(R"({"appSetting":{"b_mode":"2"}})"));
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("max_repetitions"), std::string::npos);
  EXPECT_EQ(device.TEST_poller().TEST_max_repetitions(), 50) << "a missing key changes nothing";
}

TEST(QiraoidDevice, DeviceNeverInitialisedIsDeletedCleanly) {
  auto* device = new QiraoidProbe;
  delete device;
}

}  // namespace
