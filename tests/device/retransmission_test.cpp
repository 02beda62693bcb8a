// When an exchange sends its request again: the schedule's arithmetic, then the requests a scripted
// agent receives, with their request ids and times, and Karn's rule on a real session.
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "fake_agent.h"
#include "net_snmp_library.h"
#include "retransmission_timer.h"
#include "snmp_session.h"
#include "sampling_stop.h"

namespace qiraoid {
namespace {

using std::chrono::milliseconds;
using std::chrono::microseconds;

const RetransmissionClock::time_point kStart{};

// The sends of one silent exchange that the schedule asks for, counted from the first send, when
// each retransmission happens on time.
std::vector<milliseconds> Sends(const RetransmissionRule& rule, const RoundTripEstimate& estimate) {
  RetransmissionSchedule schedule(rule, estimate, kStart);
  std::vector<milliseconds> sends{milliseconds(0)};
  while (schedule.next_send()) {
    sends.push_back(std::chrono::duration_cast<milliseconds>(*schedule.next_send() - kStart));
    schedule.Resent(*schedule.next_send());
  }
  EXPECT_EQ(schedule.silent_at() - kStart, rule.timeout * (rule.retries + 1));
  return sends;
}

RoundTripEstimate Measured(std::initializer_list<int> round_trips_ms) {
  RoundTripEstimate estimate;
  for (const int ms : round_trips_ms) estimate.Sample(milliseconds(ms));
  return estimate;
}

TEST(RetransmissionSchedule, FollowsTheRuleWithinTheBudget) {
  const RetransmissionRule fixed{false, milliseconds(10000), 1};
  const RetransmissionRule adaptive{true, milliseconds(10000), 1};
  const struct {
    const char* what;
    RetransmissionRule rule;
    RoundTripEstimate estimate;
    std::vector<milliseconds> sends;
  } rows[] = {
      {"fixed: every time-out, retries times", fixed, Measured({2}), {milliseconds(0), milliseconds(10000)}},
      {"fixed, no retries", {false, milliseconds(300), 0}, {}, {milliseconds(0)}},
      {"adaptive, nothing measured: 1 s, doubling, up to the time-out", adaptive, {},
       {milliseconds(0), milliseconds(1000), milliseconds(3000), milliseconds(7000), milliseconds(15000)}},
      {"adaptive on a fast link: the floor, doubling", adaptive, Measured({2, 2, 3}),
       {milliseconds(0), milliseconds(100), milliseconds(300), milliseconds(700), milliseconds(1500),
        milliseconds(3100), milliseconds(6300), milliseconds(12700)}},
      {"adaptive on a slow link: SRTT + 4 RTTVAR", adaptive, Measured({400}),
       {milliseconds(0), milliseconds(1200), milliseconds(3600), milliseconds(8400), milliseconds(18000)}},
      {"adaptive, time-out below the floor: the time-out", {true, milliseconds(50), 1}, Measured({2}),
       {milliseconds(0), milliseconds(50)}},
  };
  for (const auto& row : rows) EXPECT_EQ(Sends(row.rule, row.estimate), row.sends) << row.what;
}

TEST(RoundTripEstimate, FollowsRfc6298) {
  RoundTripEstimate estimate;
  EXPECT_EQ(estimate.Rto(), milliseconds(1000));
  estimate.Sample(milliseconds(100));  // SRTT 100, RTTVAR 50
  EXPECT_EQ(estimate.Rto(), milliseconds(300));
  estimate.Sample(milliseconds(200));  // RTTVAR 3/4 50 + 1/4 100 = 62.5, SRTT 112.5
  EXPECT_EQ(estimate.Rto(), microseconds(362500));
  estimate.BackOff(milliseconds(800));  // kept until the next sample
  EXPECT_EQ(estimate.Rto(), milliseconds(800));
  estimate.Sample(milliseconds(112));
  EXPECT_LT(estimate.Rto(), milliseconds(800));
}

// A session of our own against the scripted agent, with its stop descriptor.
struct OwnSession {
  OwnSession(const FakeAgent& agent, RetransmissionRule rule) : address(agent.address()) {
    EnsureNetSnmpReady();
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char*>(const_cast<char*>("qondel"));
    settings.community_len = 6;
    settings.peername = const_cast<char*>(address.c_str());
    session.emplace(settings, rule, link, stop.fd());
  }
  AgentExchange::Result Ask() { return session->GetBulk(kName, OID_LENGTH(kName), kOneBindingShape); }

  static constexpr oid kName[] = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
  std::string address;
  netsnmp_session settings{};
  AgentLink link;
  SamplingStop stop;
  std::optional<SnmpSession> session;
};

// The agent keeps silent to the first `silent` datagrams.
struct SilentAtFirst {
  explicit SilentAtFirst(int silent) : silent(silent) {}
  FakeScript Script() {
    return [this](const FakeRequest& request) -> std::optional<FakeAnswer> {
      std::lock_guard<std::mutex> guard(mutex);
      if (silent-- > 0) return std::nullopt;
      return FakeAnswer{0, 0, {FakeBinding::Text(request.names.at(0), "1")}};
    };
  }
  std::mutex mutex;
  int silent;
};

// A silent agent gets the same request (same request id) again and again, no more often than the
// schedule allows, and the exchange is silent once the budget has passed.
TEST(Retransmission, SameRequestAgainWithinTheBudget) {
  SilentAtFirst agent_state(0);
  FakeAgent agent(agent_state.Script());
  OwnSession own(agent, {true, milliseconds(500), 1});
  for (int i = 0; i < 3; ++i) ASSERT_EQ(own.Ask().outcome, AgentExchange::Outcome::kAnswered);
  agent.ForgetRequests();
  {
    std::lock_guard<std::mutex> guard(agent_state.mutex);
    agent_state.silent = 1000;
  }
  const AgentExchange::Result silent = own.Ask();
  EXPECT_EQ(silent.outcome, AgentExchange::Outcome::kTimedOut);
  const std::vector<FakeRequest> requests = agent.requests();
  ASSERT_GE(requests.size(), 2u);
  for (const FakeRequest& request : requests) EXPECT_EQ(request.request_id, requests[0].request_id);
  EXPECT_EQ(silent.retransmissions, static_cast<int>(requests.size()) - 1);
  // The schedule allows sends at 0, 100, 300 and 700 ms (1200 ms is past the budget of 1 s); the
  // times themselves are the schedule's test above, as a loaded machine only makes them later.
  EXPECT_LE(requests.size(), 4u);
}

// Karn's rule: an answer to a request sent twice gives no sample, an answer at the first send does.
TEST(Retransmission, OnlyAnswersToASingleSendAreMeasured) {
  SilentAtFirst agent_state(1);
  FakeAgent agent(agent_state.Script());
  OwnSession own(agent, {true, milliseconds(300), 1});
  const AgentExchange::Result resent = own.Ask();
  ASSERT_EQ(resent.outcome, AgentExchange::Outcome::kAnswered);
  EXPECT_EQ(resent.retransmissions, 1);
  EXPECT_EQ(own.link.round_trip.Rto(), milliseconds(1000));  // nothing measured, 300 ms kept
  ASSERT_EQ(own.Ask().outcome, AgentExchange::Outcome::kAnswered);
  EXPECT_LT(own.link.round_trip.Rto(), milliseconds(1000));
}

// The fixed rule is the library's old schedule: a retransmission every time-out, retries times.
TEST(Retransmission, FixedRuleSendsEveryTimeOutRetriesTimes) {
  SilentAtFirst agent_state(1000);
  FakeAgent agent(agent_state.Script());
  OwnSession own(agent, {false, milliseconds(300), 2});
  EXPECT_EQ(own.Ask().outcome, AgentExchange::Outcome::kTimedOut);
  const std::vector<FakeRequest> requests = agent.requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const FakeRequest& request : requests) EXPECT_EQ(request.request_id, requests[0].request_id);
}

}  // namespace
}  // namespace qiraoid
