// Round completion and cache loads of the uniform data device, seen from the stand-in host.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "standin_host.h"
#include "test_device.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> CallNames(const ZRMVDevice& device) {
  std::vector<std::string> names;
  for (const auto& call : standin::CallsOf(device)) names.push_back(call.name);
  return names;
}

std::vector<std::string> ArgsOf(const ZRMVDevice& device, const std::string& name) {
  for (const auto& call : standin::CallsOf(device)) {
    if (call.name == name) return call.args;
  }
  return {};
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

std::string TimeBytes(boost::posix_time::ptime time) {
  const ttime stamp = get_ttime(time);
  return std::string(reinterpret_cast<const char*>(&stamp), sizeof stamp);
}

class RoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitHostSide(device, 12);
    standin::ClearCalls();
  }
  void TearDown() override { standin::SetListener(nullptr); }

  TestDevice device;
};

TEST_F(RoundTest, FreshDeviceAnswersItsIdentityAndHoldsZeroes) {
  TestDevice fresh;
  EXPECT_EQ(fresh.RecordBytes(), std::string(5599, '\0'));
  EXPECT_FALSE(fresh.data_ready_);
  EXPECT_EQ(fresh.b_mode_, 1);
  EXPECT_EQ(device.DataId(), 12u);
  EXPECT_THROW(device.Get_Value(0, "x"), std::out_of_range);
  device.RoundDone();
  try {
    device.Get_Value(3, "any");
    FAIL() << "Get_Value returned";
  } catch (const std::out_of_range& error) {
    EXPECT_STREQ(error.what(), "数据未就绪");
  }
  EXPECT_EQ(device.GetChildVDevice(0), nullptr);
  EXPECT_EQ(device.GetChildVDevice(7), nullptr);
  EXPECT_TRUE(device.GetAllChildVDevices().empty());
}

TEST_F(RoundTest, RoundCallsTheHostInOrderWithItsArguments) {
  testing::internal::CaptureStdout();
  device.RoundDone();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "rvSize is 0\n");

  EXPECT_THAT(CallNames(device), ElementsAre("get_ttime", "SendSP", "Reset",
                                             "DoBatchCheckThreshold", "SaveDeviceHistory"));
  EXPECT_THAT(ArgsOf(device, "SendSP"), ElementsAre("0", "5599", "false"));
  EXPECT_THAT(ArgsOf(device, "DoBatchCheckThreshold"), ElementsAre("0"));
  EXPECT_THAT(ArgsOf(device, "SaveDeviceHistory"), ElementsAre("5599"));
  EXPECT_TRUE(device.data_ready_);
  EXPECT_FALSE(device.alarm_changed_);
  EXPECT_EQ(device.signal_no_, 1);

  const auto published = standin::PublishedOf(device);
  const auto stored = standin::HistoryOf(device);
  ASSERT_EQ(published.size(), 1u);
  EXPECT_EQ(published, stored);  // the record sent and the record stored are the same bytes
  EXPECT_EQ(published[0].substr(5592), TimeBytes(device.sample_time_));
}

TEST_F(RoundTest, AlarmTransitionsAreCountedCheckedAndCleared) {
  device.on_check = [](TestDevice& d) {
    EXPECT_EQ(d.signal_no_, 1);
    EXPECT_FALSE(d.alarm_changed_);
    d.Report("a", true);
    d.Report("b", false);  // no change from the cleared start: no rule
    d.Report("c", true);
  };
  device.alarm_changed_ = true;
  testing::internal::CaptureStdout();
  device.RoundDone();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "rvSize is 2\n");
  EXPECT_THAT(ArgsOf(device, "DoBatchCheckThreshold"), ElementsAre("2"));
  EXPECT_THAT(CallNames(device),
              ElementsAre("get_ttime", "SendSP", "Reset", "CheckThresholdBool",
                          "CheckThresholdBool", "CheckThresholdBool", "DoBatchCheckThreshold",
                          "SaveDeviceHistory"));
  EXPECT_TRUE(device.alarm_changed_);
  EXPECT_TRUE(device.rule_values_.empty());
  EXPECT_EQ(device.signal_no_, 4);

  // The same states again are no transitions: the round reports no change.
  testing::internal::CaptureStdout();
  device.RoundDone();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "rvSize is 0\n");
  EXPECT_FALSE(device.alarm_changed_);
}

TEST_F(RoundTest, RecordBytesFollowTheLittleEndianLayout) {
  device.InitSetting(ParseJson("{}"));
  device.SetColumn(1, 230.5f);
  device.SetColumn(1397, 1.0f);
  const std::string bytes = device.RecordBytes();
  EXPECT_EQ(Hex(bytes.substr(0, 8)), "0C 00 00 00 00 80 66 43");
  EXPECT_EQ(Hex(bytes.substr(5588, 4)), "00 00 80 3F");
}

TEST_F(RoundTest, WrongCacheImagesAreRefusedAndChangeNothing) {
  device.rule_values_.push_back(rule_value{});
  const std::string before = device.RecordBytes();
  const std::string image(5600, '\x11');
  const struct {
    const char* what;
    const unsigned char* data;
    int len;
  } rows[] = {
      {"5598 bytes", reinterpret_cast<const unsigned char*>(image.data()), 5598},
      {"5600 bytes", reinterpret_cast<const unsigned char*>(image.data()), 5600},
      {"negative length", reinterpret_cast<const unsigned char*>(image.data()), -5599},
      {"empty", reinterpret_cast<const unsigned char*>(image.data()), 0},
      {"null pointer", nullptr, 5599},
  };
  testing::internal::CaptureStdout();
  for (const auto& row : rows) {
    EXPECT_EQ(device.LoadFromCache(row.data, row.len), 0) << row.what;
  }
  EXPECT_EQ(device.LoadFromCache(std::string(5598, '\0')), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(device.RecordBytes(), before);
  EXPECT_FALSE(device.data_ready_);
  EXPECT_EQ(device.rule_values_.size(), 1u);
  EXPECT_TRUE(standin::CallsOf(device).empty());
}

TEST_F(RoundTest, CacheImageReplacesTheRecordAndCompletesARoundWithTheCurrentTime) {
  std::string image(5599, '\0');
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
  testing::internal::CaptureStdout();
  EXPECT_EQ(device.LoadFromCache(image), 1);
  testing::internal::GetCapturedStdout();
  const std::string record = device.RecordBytes();
  EXPECT_EQ(record.substr(0, 5592), image.substr(0, 5592));  // a foreign device id included
  EXPECT_EQ(record.substr(5592), TimeBytes(device.sample_time_));
  EXPECT_NE(record.substr(5592), image.substr(5592));
  EXPECT_TRUE(device.data_ready_);
  EXPECT_EQ(standin::PublishedOf(device).at(0), record);

  // Every byte of the string form counts, embedded zero bytes included.
  testing::internal::CaptureStdout();
  EXPECT_EQ(device.LoadFromCache(std::string(5599, '\0')), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(device.RecordBytes().substr(0, 5592), std::string(5592, '\0'));
}

// A host callback made inside a round that asks the same device for another round must not
// deadlock; the second round runs after the first, on the same thread.
TEST_F(RoundTest, CacheLoadFromInsideARoundRunsAfterIt) {
  struct Reloader : standin::HostListener {
    TestDevice* device;
    std::string image;
    int result = -1;
    void OnPublished(ZRMVDevice&, const std::string&) override {
      if (result == -1) result = device->LoadFromCache(image);
    }
  } reloader;
  reloader.device = &device;
  reloader.image = std::string(5599, '\0');
  const float loaded = 42.0f;
  std::memcpy(&reloader.image[4], &loaded, sizeof loaded);
  standin::SetListener(&reloader);

  testing::internal::CaptureStdout();
  device.RoundDone();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "rvSize is 0\nrvSize is 0\n");
  EXPECT_EQ(reloader.result, 1);
  EXPECT_THAT(CallNames(device),
              ElementsAre("get_ttime", "SendSP", "Reset", "DoBatchCheckThreshold",
                          "SaveDeviceHistory", "get_ttime", "SendSP", "Reset",
                          "DoBatchCheckThreshold", "SaveDeviceHistory"));
  const auto published = standin::PublishedOf(device);
  ASSERT_EQ(published.size(), 2u);
  float first = 0, second = 0;
  std::memcpy(&first, &published[0][4], 4);
  std::memcpy(&second, &published[1][4], 4);
  EXPECT_EQ(first, 0.0f);
  EXPECT_EQ(second, 42.0f);
}

TEST_F(RoundTest, ExceptionFromTheHostEndsTheRoundButNotTheDevice) {
  device.on_check = [](TestDevice&) { throw std::runtime_error("host failed"); };
  device.rule_values_.push_back(rule_value{});
  EXPECT_THROW(device.RoundDone(), std::runtime_error);
  EXPECT_EQ(device.rule_values_.size(), 1u);  // the remaining steps did not run
  device.on_check = nullptr;
  testing::internal::CaptureStdout();
  device.RoundDone();  // the guard was released: a later round runs
  EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("rvSize is 1"));
}

// Rounds from a sampling thread and cache loads from a host thread never interleave, and no
// byte of the record is written by both at once (run under ThreadSanitizer too).
TEST_F(RoundTest, ConcurrentRoundsAndCacheLoadsDoNotInterleave) {
  std::thread sampler([&] {
    for (int i = 0; i < 200; ++i) {
      device.SetColumn(1 + i % 1397, static_cast<float>(i));
      device.RoundDone();
    }
  });
  std::thread host([&] {
    const std::string image(5599, '\x01');
    for (int i = 0; i < 200; ++i) EXPECT_EQ(device.LoadFromCache(image), 1);
  });
  testing::internal::CaptureStdout();
  sampler.join();
  host.join();
  testing::internal::GetCapturedStdout();

  std::vector<std::string> round;
  int rounds = 0;
  for (const auto& call : standin::CallsOf(device)) {
    if (call.device == nullptr) continue;
    round.push_back(call.name);
    if (call.name == "SaveDeviceHistory") {
      EXPECT_THAT(round, ElementsAre("SendSP", "Reset", "DoBatchCheckThreshold",
                                     "SaveDeviceHistory"));
      round.clear();
      ++rounds;
    }
  }
  EXPECT_EQ(rounds, 400);
  EXPECT_EQ(standin::PublishedOf(device), standin::HistoryOf(device));
}

}  // namespace
