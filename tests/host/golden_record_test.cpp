// The record is an external format: the same content must give the same 5599 bytes on the build
// machine and on the controller. Both builds compare against one golden image kept with the tests.
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "standin_host.h"
#include "test_device.h"

namespace {

std::string ReadGolden() {
  std::ifstream file(GOLDEN_RECORD, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(GoldenRecord, SameContentGivesTheSameBytesOnEveryTarget) {
  const std::string golden = ReadGolden();
  ASSERT_EQ(golden.size(), 5599u);

  SNMP_QIRAOID_Data_t record{};
  record.data_id = 12;
  for (int k = 1; k <= kQiraoidColumns; ++k) record.value[k - 1] = (k - 700) * 0.5f;
  record.time = get_ttime(boost::posix_time::ptime(boost::gregorian::date(2026, 12, 10),
                                                   boost::posix_time::time_duration(4, 5, 6)));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&record), sizeof record), golden);

  // A device that loads the image stores and publishes it unchanged but for the round's time.
  TestDevice device;
  InitHostSide(device, 12);
  testing::internal::CaptureStdout();
  ASSERT_EQ(device.LoadFromCache(golden), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(standin::PublishedOf(device).at(0).substr(0, 5592), golden.substr(0, 5592));
}

}  // namespace
