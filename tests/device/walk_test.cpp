// Walk passes against the real Net-SNMP agent serving the cabinet's table.
#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"
#include "udp_relay.h"

namespace {

// Column k holds k + 0.25 (k/1000 past column 1000, to stay exact as a float).
std::map<int, std::string> DistinctColumns(float offset = 0.25f) {
  std::map<int, std::string> columns;
  for (int k = 1; k <= 1397; ++k) columns[k] = std::to_string(k + offset);
  return columns;
}

void Aim(QiraoidProbe& device, const CabinetAgent& agent, int address) {
  InitHostSide(device, 12,
               R"({"agent":")" + agent.address() + R"(","address":)" + std::to_string(address) + "}");
}

size_t Pass(QiraoidProbe& device) {
  const size_t before = standin::PublishedOf(device).size();
  testing::internal::CaptureStdout();
  device.do_sample();
  testing::internal::GetCapturedStdout();
  return standin::PublishedOf(device).size() - before;
}

// Whether the view ends inside the cabinet's subtree (endOfMibView) or goes on past it (the
// next cabinet's table), one pass stores every column and completes exactly one round.
TEST(Walk, EveryColumnLandsInItsFieldWithOneRound) {
  for (const bool restricted : {true, false}) {
    CabinetAgent agent({{4, 5}, restricted});
    agent.SetColumns(4, DistinctColumns());
    agent.SetColumns(5, DistinctColumns(0.5f));
    QiraoidProbe device;
    Aim(device, agent, 4);
    EXPECT_EQ(Pass(device), 1u) << (restricted ? "restricted view" : "full view");
    for (int k = 1; k <= 1397; ++k) {
      ASSERT_EQ(device.Column(k), static_cast<float>(k + 0.25f)) << "column " << k;
    }
    EXPECT_EQ(standin::PublishedOf(device).back(), device.RecordBytes());
  }
}

TEST(Walk, OtherDeviceAddressesWalkTheirOwnTable) {
  CabinetAgent agent({{7}, true});
  agent.SetColumns(7, {{1, "230.5"}, {1397, "1"}});
  QiraoidProbe device;
  Aim(device, agent, 7);
  EXPECT_EQ(Pass(device), 1u);
  EXPECT_EQ(device.Column(1), 230.5f);
  EXPECT_EQ(device.Column(1397), 1.0f);
}

TEST(Walk, ChangedValuesAreSeenByTheNextPass) {
  CabinetAgent agent;
  agent.SetColumns(4, {{1, "230.5"}, {324, "0"}});
  QiraoidProbe device;
  Aim(device, agent, 4);
  ASSERT_EQ(Pass(device), 1u);
  EXPECT_EQ(device.Column(324), 0.0f);
  agent.SetColumns(4, {{324, "1"}, {556, "-2.5"}});
  ASSERT_EQ(Pass(device), 1u);
  EXPECT_EQ(device.Column(1), 230.5f);
  EXPECT_EQ(device.Column(324), 1.0f);
  EXPECT_EQ(device.Column(556), -2.5f);
}

std::vector<std::vector<std::string>> AlarmCallsOfLastRound(const QiraoidProbe& device) {
  std::vector<std::vector<std::string>> calls;
  for (const auto& call : standin::CallsOf(device)) {
    if (call.name == "CheckThresholdBool") calls.push_back(call.args);
  }
  return std::vector<std::vector<std::string>>(calls.end() - std::min<size_t>(calls.size(), 312), calls.end());
}

// Everything of the record but its time stamp, which is the pass's own.
std::string RecordValues(const std::string& record) { return record.substr(0, 4 + 4 * 1397); }

// A pass in the bulk shape stores what a pass in the one-binding shape stores, and the round
// reports the same alarms, in 14 exchanges instead of 1398; whichever way the agent's view ends,
// for each device address, and again after the values change.
TEST(Walk, BulkShapeGivesTheSameRoundInFewerExchanges) {
  for (const bool restricted : {true, false}) {
    CabinetAgent agent({{4, 5}, restricted});
    agent.SetColumns(4, DistinctColumns());
    agent.SetColumns(5, DistinctColumns(0.5f));
    UdpRelay counter(agent.port(), {});
    for (const int address : {4, 5}) {
      QiraoidProbe one_binding;
      QiraoidProbe bulk;
      bulk.AskForRepetitions(100);
      for (QiraoidProbe* device : {&one_binding, &bulk}) {
        InitHostSide(*device, 12, R"({"agent":")" + counter.address() + R"(","address":)" + std::to_string(address) + "}");
        device->b_mode_ = 2;
        // Counted requests: an adaptive wait may end before a loaded machine's answer.
        device->ReadAccess(ParseJson(R"({"retransmission":"fixed"})"));
      }
      for (const auto& change : {std::map<int, std::string>{}, {{324, "1"}, {556, "-2.5"}, {1397, "7"}}}) {
        if (!change.empty()) agent.SetColumns(address, change);
        const size_t before = counter.counts().from_clients;
        ASSERT_EQ(Pass(one_binding), 1u);
        const size_t between = counter.counts().from_clients;
        ASSERT_EQ(Pass(bulk), 1u);
        EXPECT_EQ(between - before, 1398u);
        EXPECT_EQ(counter.counts().from_clients - between, 14u);
        EXPECT_EQ(RecordValues(standin::PublishedOf(bulk).back()),
                  RecordValues(standin::PublishedOf(one_binding).back()));
        EXPECT_EQ(AlarmCallsOfLastRound(bulk), AlarmCallsOfLastRound(one_binding));
      }
      EXPECT_EQ(bulk.Column(1397), 7.0f);
    }
  }
}

// Several devices walk at once on their own threads while the host loads cached records into
// them (the race detector run of the suite watches this one).
TEST(Walk, DevicesWalkInParallelWhileTheHostLoadsCachedRecords) {
  CabinetAgent agent;
  agent.SetColumns(4, {{1, "230.5"}});
  std::vector<std::unique_ptr<QiraoidProbe>> devices;
  testing::internal::CaptureStdout();
  for (int i = 0; i < 3; ++i) {
    devices.push_back(std::make_unique<QiraoidProbe>());
    Aim(*devices.back(), agent, 4);
    devices.back()->InitSetting(ParseJson(R"({"appSetting":{"b_mode":"2"}})"));
  }
  const std::string image(5599, '\0');
  // Each device completes its walk's round besides the rounds of the loads made into it.
  std::vector<size_t> loads(devices.size(), 0);
  for (bool all_walked = false; !all_walked;) {
    all_walked = true;
    for (size_t i = 0; i < devices.size(); ++i) {
      EXPECT_EQ(devices[i]->LoadFromCache(image), 1);
      ++loads[i];
      all_walked = all_walked && standin::PublishedOf(*devices[i]).size() > loads[i];
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  devices.clear();
  testing::internal::GetCapturedStdout();
}

}  // namespace
