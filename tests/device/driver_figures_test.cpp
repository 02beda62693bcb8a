// The driver's own figures over single passes against a scripted agent: what each pass counts,
// what the totals keep, and the agent's changes told to a watcher as they are logged.
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "driver_figures.h"
#include "fake_agent.h"
#include "probe_pass.h"
#include "qiraoid_probe.h"
#include "test_device.h"

namespace {

using qiraoid::AgentChange;
using qiraoid::AgentState;
using qiraoid::DriverFigures;
using Name = std::vector<uint32_t>;

const Name kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const Name kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 1, 1};

class Changes : public qiraoid::DriverWatcher {
 public:
  void OnAgentChange(const AgentChange& change) override { seen.push_back(change); }
  std::vector<AgentChange> seen;
};

class DriverFiguresTest : public ::testing::Test {
 protected:
  void Aim(const FakeAgent& agent) {
    AimProbe(device, agent.address(), 1);
    device.WatchDriver(&changes);
  }
  void Pass() {
    std::string log;
    PassLogged(device, &log);
  }

  QiraoidProbe device;
  Changes changes;
};

size_t RequestIds(const FakeAgent& agent) {
  std::set<int64_t> ids;
  for (const auto& request : agent.requests()) ids.insert(request.request_id);
  return ids.size();
}

// One pass that meets every counted event: the bulk shape given up on genErr, then a request and
// its retransmission both unanswered, then the rest of the table.
TEST_F(DriverFiguresTest, APassCountsItsRequestsRetransmissionsSilencesAndGiveUps) {
  auto table = TableScript(kRoot, {{1, "1.5"}, {2, "2.5"}, {1397, "3"}}, FakeBinding::Text(kBeyond, "0"));
  FakeAgent agent([table, silent = 2](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
    if (request.non_repeaters == 0) return FakeAnswer{SNMP_ERR_GENERR, 0, {}};
    if (request.names.at(0) != kRoot && silent-- > 0) return std::nullopt;
    return table(request);
  });
  Aim(agent);
  device.AskForRepetitions(10);
  EXPECT_EQ(device.DriverFigures().agent, AgentState::kUnknown);
  Pass();

  const DriverFigures figures = device.DriverFigures();
  EXPECT_EQ(figures.passes, 1u);
  EXPECT_EQ(figures.last_pass.requests, RequestIds(agent));
  EXPECT_EQ(figures.last_pass.retransmissions, agent.request_count() - RequestIds(agent));
  EXPECT_EQ(figures.last_pass.retransmissions, 1u);
  EXPECT_EQ(figures.last_pass.silences, 1u);
  EXPECT_EQ(figures.last_pass.bulk_give_ups, 1u);
  EXPECT_GT(figures.last_pass.seconds, 0.1);  // at least the silent request's time-out
  EXPECT_EQ(figures.agent, AgentState::kAnswering);
  EXPECT_EQ(figures.cause, "");

  ASSERT_EQ(changes.seen.size(), 2u);
  EXPECT_EQ(changes.seen[0].state, AgentState::kFailing);
  EXPECT_EQ(changes.seen[0].device, 12u);
  EXPECT_EQ(changes.seen[0].agent, agent.address());
  EXPECT_EQ(changes.seen[0].cause, "no answer within the time-out and its retries (or a wrong community)");
  EXPECT_EQ(changes.seen[1].state, AgentState::kAnswering);
  EXPECT_GT(changes.seen[1].failed_seconds, 0.0);

  // The next pass asks one binding at a time without fault: its own figures, the totals grow.
  const size_t asked_before = RequestIds(agent);
  Pass();
  const DriverFigures after = device.DriverFigures();
  EXPECT_EQ(after.passes, 2u);
  EXPECT_EQ(after.last_pass.requests, RequestIds(agent) - asked_before);
  EXPECT_EQ(after.last_pass.silences, 0u);
  EXPECT_EQ(after.last_pass.bulk_give_ups, 0u);
  EXPECT_EQ(after.totals.requests, RequestIds(agent));
  EXPECT_EQ(after.totals.silences, 1u);
  EXPECT_EQ(changes.seen.size(), 2u);  // answering still: nothing to tell
}

TEST_F(DriverFiguresTest, AFailingAgentKeepsItsCauseAndAWatcherRemovedHearsNothing) {
  FakeAgent agent([](const FakeRequest& request) -> std::optional<FakeAnswer> {
    return FakeAnswer{SNMP_ERR_GENERR, 1, {FakeBinding::Null(request.names.at(0))}};
  });
  Aim(agent);
  Pass();
  DriverFigures figures = device.DriverFigures();
  EXPECT_EQ(figures.passes, 1u);
  EXPECT_EQ(figures.agent, AgentState::kFailing);
  EXPECT_EQ(figures.cause, "error status 5 (genErr) at OID 1.3.6.1.4.1.61333.1.1.4.0");
  ASSERT_EQ(changes.seen.size(), 1u);
  EXPECT_EQ(changes.seen[0].cause, figures.cause);

  device.WatchDriver(nullptr);
  Pass();
  EXPECT_EQ(device.DriverFigures().passes, 2u);
  EXPECT_EQ(changes.seen.size(), 1u);
}

TEST_F(DriverFiguresTest, APassWithoutAnAgentIsNoPass) {
  InitHostSide(device, 12, R"({"address":4})");
  Pass();
  EXPECT_EQ(device.DriverFigures().passes, 0u);
  EXPECT_EQ(device.DriverFigures().agent, AgentState::kUnknown);
}

}  // namespace
