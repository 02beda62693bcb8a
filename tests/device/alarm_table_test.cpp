// The alarm signals a cabinet reports in mode 2, as the stand-in host receives them.
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "alarm_signals.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace qiraoid {
namespace {

struct Report {
  std::vector<std::string> args;
  bool active() const { return args.at(5) == "true"; }
};

// Loads a record whose given columns hold the given values and returns the round's reports.
std::vector<Report> ReportsFor(QiraoidProbe& device, const std::vector<std::pair<int, float>>& columns) {
  std::string image(5599, '\0');
  for (const auto& [column, value] : columns) std::memcpy(&image[4 * column], &value, 4);
  standin::ClearCalls();
  testing::internal::CaptureStdout();
  EXPECT_EQ(device.LoadFromCache(image), 1);
  testing::internal::GetCapturedStdout();
  std::vector<Report> reports;
  for (const auto& call : standin::CallsOf(device)) {
    if (call.name == "CheckThresholdBool") reports.push_back({call.args});
  }
  return reports;
}

std::vector<int> ActiveSignals(const std::vector<Report>& reports) {
  std::vector<int> active;
  for (size_t i = 0; i < reports.size(); ++i) {
    if (reports[i].active()) active.push_back(static_cast<int>(i) + 1);
  }
  return active;
}

class AlarmTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitHostSide(device, 12);
    device.b_mode_ = 2;
  }
  QiraoidProbe device;
};

TEST_F(AlarmTableTest, ZeroRecordReportsEverySignalClearedInOrder) {
  const auto reports = ReportsFor(device, {});
  ASSERT_EQ(reports.size(), 312u);
  for (size_t i = 0; i < reports.size(); ++i) {
    const auto& args = reports[i].args;
    const std::string number = std::to_string(i + 1);
    const std::string id = "12083017" + std::string(3 - number.size(), '0') + number + "0";
    EXPECT_THAT(args, ::testing::ElementsAre("2", id, id, "专用空调其他告警",
                                             kAlarmSignals[i].name, "false", number));
  }
  EXPECT_EQ(reports.front().args[1], "120830170010");
  EXPECT_EQ(reports[81].args[1], "120830170820");
  EXPECT_EQ(reports[81].args[4], "第一路防雷状态");
  EXPECT_EQ(reports.back().args[1], "120830173120");
  EXPECT_EQ(reports.back().args[4], "1QF04电流越下限");
  EXPECT_EQ(device.signal_no_, 313);
}

TEST_F(AlarmTableTest, ColumnsRaiseTheirOwnSignalOnly) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    int column;
    float value;
    std::vector<int> active;
  } rows[] = {
      {241, 1.0f, {1}},     {321, 1.0f, {81}},   {324, 1.0f, {82}},   {325, 1.0f, {83}},
      {405, 1.0f, {163}},   {408, 1.0f, {164}},  {409, 1.0f, {165}},  {556, 1.0f, {312}},
      {322, 1.0f, {}},      {323, 1.0f, {}},     {406, 1.0f, {}},     {407, 1.0f, {}},
      {240, 1.0f, {}},      {557, 1.0f, {}},     {1, 1.0f, {}},       {1397, 1.0f, {}},
      {241, -0.0f, {}},     {241, nan, {1}},     {241, 0.5f, {1}},    {241, -1.0f, {1}},
      {241, 1e-30f, {1}},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ActiveSignals(ReportsFor(device, {{row.column, row.value}})), row.active)
        << "column " << row.column << " = " << row.value;
  }
}

TEST(AlarmTable, RowsFollowTheColumnRuleWithUniqueNames) {
  std::set<std::string> names;
  std::set<int> columns;
  for (int n = 1; n <= kAlarmSignalCount; ++n) {
    const AlarmSignal& signal = kAlarmSignals[n - 1];
    const int offset = n <= 81 ? 240 : n <= 163 ? 242 : 244;
    EXPECT_EQ(signal.column, n + offset) << "signal " << n;
    names.insert(signal.name);
    columns.insert(signal.column);
  }
  EXPECT_EQ(names.size(), 312u);
  EXPECT_EQ(columns.size(), 312u);
  // Line 2's names are line 1's with the other line prefix.
  for (int n = 1; n <= 82; ++n) {
    std::string name = kAlarmSignals[n - 1].name;
    name.replace(0, std::strlen("第一路"), "第二路");
    EXPECT_EQ(name, kAlarmSignals[n + 81].name) << "signal " << n;
  }
}

TEST_F(AlarmTableTest, OtherModesReportNothing) {
  for (int mode : {1, 0, 3, -2, 20}) {
    device.b_mode_ = mode;
    EXPECT_TRUE(ReportsFor(device, {{241, 1.0f}}).empty()) << "mode " << mode;
    EXPECT_EQ(device.signal_no_, 1) << "mode " << mode;
  }
}

TEST_F(AlarmTableTest, NumbersContinueFromTheCounterWithAllTheirDigits) {
  const struct {
    unsigned short start;
    std::vector<std::pair<size_t, std::string>> ids;  // report index, identifier
    unsigned short end;
  } rows[] = {
      {1000, {{0, "1208301710000"}, {311, "1208301713110"}}, 1312},
      {2, {{0, "120830170020"}, {311, "120830173130"}}, 314},
      // The counter wraps: number 0, then 1 as the 138th report, not as the first.
      {65400, {{135, "12083017655350"}, {136, "120830170000"}, {137, "120830170010"}}, 176},
  };
  for (const auto& row : rows) {
    device.signal_no_ = row.start;
    standin::ClearCalls();
    device.RunCheckThreshold();
    const auto calls = standin::CallsOf(device);
    ASSERT_EQ(calls.size(), 312u);
    for (const auto& [index, id] : row.ids) {
      EXPECT_EQ(calls[index].args[1], id) << "from " << row.start << ", report " << index;
      EXPECT_EQ(calls[index].args[2], id) << "from " << row.start << ", report " << index;
      EXPECT_EQ(calls[index].args[4], kAlarmSignals[index].name);
    }
    EXPECT_EQ(calls.front().args[6], std::to_string(row.start));
    EXPECT_EQ(device.signal_no_, row.end);
  }
}

}  // namespace
}  // namespace qiraoid
