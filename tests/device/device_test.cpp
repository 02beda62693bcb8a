// The cabinet device's construction, its idle operations and its sampling thread's life.
#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "../host/test_device.h"
#include "qiraoid_probe.h"
#include "standin_host.h"

namespace {

TEST(QiraoidDevice, ConstructionPreparesTheSessionTemplateAndRoot) {
  QiraoidProbe device;
  EXPECT_EQ(device.DeviceType(), "snmp_qiraoid");
  EXPECT_EQ(device.session_.version, SNMP_VERSION_2c);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(device.session_.community),
                        device.session_.community_len),
            "qondel");
  EXPECT_EQ(device.session_.community_len, 6u);
  EXPECT_EQ(device.session_.timeout, 10000000);
  EXPECT_EQ(device.session_.retries, 1);
  const oid prefix[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4};
  EXPECT_TRUE(std::equal(std::begin(prefix), std::end(prefix), device.root_oid_));
  EXPECT_TRUE(std::all_of(device.root_oid_ + 10, device.root_oid_ + MAX_OID_LEN,
                          [](oid sub) { return sub == 0; }));
  EXPECT_EQ(device.root_oid_len_, 10u);
  EXPECT_EQ(device.RecordBytes(), std::string(5599, '\0'));
  unsigned char byte = 0;
  EXPECT_EQ(device.RefreshStatus(), 0);
  EXPECT_EQ(device.process_data(3, &byte, 1), 0);
  EXPECT_EQ(device.process_data(-1, nullptr, -5), 0);
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

TEST(QiraoidDevice, DeviceNeverInitialisedIsDeletedCleanly) {
  auto* device = new QiraoidProbe;
  delete device;
}

}  // namespace
