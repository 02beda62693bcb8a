// Walk passes against the real Net-SNMP agent through a link that loses and duplicates datagrams.
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"
#include "udp_relay.h"

namespace {

constexpr size_t kExchangesPerWalk = 1398;  // one per column, and one that leaves the table

std::map<int, std::string> DistinctColumns() {
  std::map<int, std::string> columns;
  for (int k = 1; k <= 1397; ++k) columns[k] = std::to_string(k + 0.25f);
  return columns;
}

class WalkLossTest : public ::testing::Test {
 protected:
  WalkLossTest() { agent.SetColumns(4, DistinctColumns()); }

  // One pass through the relay with these access keys and one retry; returns how many rounds it
  // completed. The default time-out is short enough that a lost datagram costs little.
  size_t PassThrough(const UdpRelay& relay, const std::string& access = R"("timeout_seconds":"0.005")") {
    InitHostSide(device, 12, R"({"agent":")" + relay.address() + R"(","address":4})");
    device.ReadAccess(ParseJson("{" + access + R"(,"retries":1})"));
    const size_t before = standin::PublishedOf(device).size();
    testing::internal::CaptureStdout();
    device.do_sample();
    testing::internal::GetCapturedStdout();
    return standin::PublishedOf(device).size() - before;
  }

  void ExpectEveryColumnServed() {
    for (int k = 1; k <= 1397; ++k) ASSERT_EQ(device.Column(k), k + 0.25f) << "column " << k;
  }

  CabinetAgent agent;
  QiraoidProbe device;
};

// Every lost datagram, either way, costs one retransmission of the same request; the walk goes on
// from where it was and the round comes with every value right.
TEST_F(WalkLossTest, LossCostsRetransmissionsNeverThePass) {
  for (const double loss : {0.1, 0.3}) {
    UdpRelay relay(agent.port(), {loss, 0.0, {}, 7});
    EXPECT_EQ(PassThrough(relay), 1u) << "loss " << loss;
    ExpectEveryColumnServed();
    const UdpRelay::Counts counts = relay.counts();
    EXPECT_GT(counts.dropped_to_agent + counts.dropped_to_clients, 0u);
    // A late answer may cost a retransmission too, so this is a floor, not an equality.
    EXPECT_GE(counts.from_clients, kExchangesPerWalk + counts.dropped_to_agent + counts.dropped_to_clients);
  }
}

// Under the fixed rule: an adaptive wait may end before a loaded machine's answer, and send again.
TEST_F(WalkLossTest, DuplicatedDatagramsChangeNothing) {
  UdpRelay relay(agent.port(), {0.0, 1.0, {}, 7});
  EXPECT_EQ(PassThrough(relay, R"("timeout_seconds":"5","retransmission":"fixed")"), 1u);  // no loss: a time-out here would be a fault
  ExpectEveryColumnServed();
  EXPECT_EQ(relay.counts().from_clients, kExchangesPerWalk);
  EXPECT_GT(relay.counts().duplicated, 0u);
}

}  // namespace
