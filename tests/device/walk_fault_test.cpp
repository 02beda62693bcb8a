// Single walk passes against a scripted agent, for answers a real agent will not give.
#include <dirent.h>
#include <malloc.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_agent.h"
#include "log_lines.h"
#include "probe_pass.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

using Name = std::vector<uint32_t>;

const Name kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const Name kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 1, 1};

Name Column(uint32_t k, Name tail = {}) {
  Name name = kRoot;
  name.push_back(k);
  name.insert(name.end(), tail.begin(), tail.end());
  return name;
}

FakeAnswer Bindings(std::vector<FakeBinding> bindings) { return FakeAnswer{0, 0, std::move(bindings)}; }

// Answers the first request with `first`, every later one with `rest`.
FakeScript FirstThen(std::optional<FakeAnswer> first, std::optional<FakeAnswer> rest) {
  return [first, rest, asked = 0](const FakeRequest&) mutable { return asked++ == 0 ? first : rest; };
}

class WalkFaultTest : public ::testing::Test {
 protected:
  // A device aimed at the agent, with a short time-out so silence costs milliseconds.
  void Aim(const FakeAgent& agent, int retries = 0) { AimProbe(device, agent.address(), retries); }
  // Runs one pass and returns how many rounds it completed.
  size_t Pass() { return PassLogged(device, &log); }

  QiraoidProbe device;
  std::string log;
};

TEST_F(WalkFaultTest, SilenceAsksForTheSamePositionAgainUntilAnswered) {
  const std::map<uint32_t, std::string> table = {{1, "1.5"}, {2, "2.5"}};
  auto answer_table = TableScript(kRoot, table, FakeBinding::Text(kBeyond, "0"));
  FakeAgent agent([answer_table, silent = 3](const FakeRequest& request) mutable
                  -> std::optional<FakeAnswer> {
    if (request.names.at(0) == Column(1) && silent-- > 0) return std::nullopt;
    return answer_table(request);
  });
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  std::vector<Name> asked;
  for (const auto& request : agent.requests()) asked.push_back(request.names.at(0));
  EXPECT_EQ(asked, (std::vector<Name>{kRoot, Column(1), Column(1), Column(1), Column(1),
                                      Column(2)}));
  EXPECT_EQ(device.Column(1), 1.5f);
  EXPECT_EQ(device.Column(2), 2.5f);
  for (const auto& request : agent.requests()) {
    EXPECT_EQ(request.pdu_type, 0xA5);
    EXPECT_EQ(request.community, "qondel");
    EXPECT_EQ(request.non_repeaters, 1);
    EXPECT_EQ(request.max_repetitions, 100);
    EXPECT_EQ(request.names.size(), 1u);
  }
}

std::vector<FakeRequest> RequestsFor(const FakeAgent& agent, const Name& name) {
  std::vector<FakeRequest> found;
  for (const auto& request : agent.requests()) {
    if (request.names.at(0) == name) found.push_back(request);
  }
  return found;
}

// With one retry, each time-out costs the original request and the library's one retransmission of
// it (the same request-id); only then is the position asked again, in a new request.
TEST_F(WalkFaultTest, EachRequestIsRetransmittedAsTheSessionSaysBeforeTheNextOne) {
  auto answer_table = TableScript(kRoot, {{1, "1.5"}}, FakeBinding::Text(kBeyond, "0"));
  FakeAgent agent([answer_table, silent = 3](const FakeRequest& request) mutable
                  -> std::optional<FakeAnswer> {
    if (request.names.at(0) == Column(1) && silent-- > 0) return std::nullopt;
    return answer_table(request);
  });
  Aim(agent, 1);
  EXPECT_EQ(Pass(), 1u);
  const std::vector<FakeRequest> asked = RequestsFor(agent, Column(1));
  ASSERT_EQ(asked.size(), 4u);
  EXPECT_EQ(asked[0].request_id, asked[1].request_id);
  EXPECT_NE(asked[1].request_id, asked[2].request_id);
  EXPECT_EQ(asked[2].request_id, asked[3].request_id);
  EXPECT_EQ(device.Column(1), 1.5f);
}

// A datagram that is not the answer to our request is dropped unseen: the exchange goes on waiting
// and takes the answer to the library's retransmission.
TEST_F(WalkFaultTest, AnswersThatAreNotOursAreNeverStored) {
  FakeAnswer evil = Bindings({FakeBinding::Text(Column(1), "666")});
  evil.community = "evil";
  FakeAnswer report = Bindings({FakeBinding::Text(Column(1), "666")});
  report.pdu_type = 0xA8;
  FakeAnswer stale = Bindings({FakeBinding::Text(Column(1), "666")});
  stale.request_id_shift = -1;
  const struct {
    const char* what;
    FakeAnswer answer;
  } rows[] = {{"another community", evil}, {"a Report", report}, {"a stale request-id", stale}};
  for (const auto& row : rows) {
    auto answer_table = TableScript(kRoot, {{1, "1.5"}}, FakeBinding::Text(kBeyond, "0"));
    FakeAgent agent([&row, answer_table, hostile = true](const FakeRequest& request) mutable
                    -> std::optional<FakeAnswer> {
      if (request.names.at(0) == kRoot && std::exchange(hostile, false)) return row.answer;
      return answer_table(request);
    });
    Aim(agent, 1);
    EXPECT_EQ(Pass(), 1u) << row.what;
    EXPECT_EQ(device.Column(1), 1.5f) << row.what;
    const std::vector<FakeRequest> asked = RequestsFor(agent, kRoot);
    ASSERT_EQ(asked.size(), 2u) << row.what;
    EXPECT_EQ(asked[0].request_id, asked[1].request_id) << row.what;
  }
}

// Answers that cannot be walked on end the pass without a round, after a single request each:
// asking again at once would only flood the agent.
TEST_F(WalkFaultTest, FaultyAnswersEndThePassWithoutARound) {
  const struct {
    const char* what;
    FakeAnswer answer;
  } rows[] = {
      {"error status", FakeAnswer{5, 1, {FakeBinding::Text(Column(1), "1")}}},
      {"no bindings", Bindings({})},
      {"OID repeats the request", Bindings({FakeBinding::Text(kRoot, "1")})},
      {"OID goes back", Bindings({FakeBinding::Text({1, 3, 6, 1, 2, 1}, "1")})},
      {"OIDs out of order", Bindings({FakeBinding::Text(Column(5), "5"),
                                      FakeBinding::Text(Column(4), "4")})},
  };
  for (const auto& row : rows) {
    FakeAgent agent(FirstThen(row.answer, row.answer));
    Aim(agent);
    EXPECT_EQ(Pass(), 0u) << row.what;
    EXPECT_EQ(agent.request_count(), 1u) << row.what;
  }
}

TEST_F(WalkFaultTest, EndOfMibViewCompletesTheWalkWithoutStoringIt) {
  FakeAgent agent(TableScript(kRoot, {{1396, "7"}, {1397, "9.25"}}, FakeBinding::EndOfMibView()));
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  EXPECT_EQ(device.Column(1397), 9.25f);
  EXPECT_EQ(agent.request_count(), 3u);
}

TEST_F(WalkFaultTest, AnswerBindingsAreDecodedInOrder) {
  FakeAgent agent(FirstThen(
      Bindings({FakeBinding::Text(Column(0), "99"),            // no column 0
                FakeBinding::Text(Column(7, {0}), "230.5"),    // only the sub-identifier after the root counts
                FakeBinding::Integer(Column(8), -42),
                FakeBinding::Counter32(Column(9), 4000000000u),
                FakeBinding::Gauge32(Column(10), 12),
                FakeBinding::TimeTicks(Column(11), 360000),
                FakeBinding::Counter64(Column(12), (1ull << 32) + 5),
                FakeBinding::Unsigned32(Column(13), 7),
                FakeBinding::NoSuchInstance(Column(14)),
                FakeBinding::Text(Column(15), " 12.5V"),
                FakeBinding::OpaqueFloat(Column(16), 1.5f),
                FakeBinding::OpaqueDouble(Column(17), -2.25),
                FakeBinding::OpaqueI64(Column(18), -5000000000),
                FakeBinding::OpaqueU64(Column(19), 1ull << 40),
                FakeBinding::Text(Column(1397), "1"),
                FakeBinding::Text(Column(1398), "55"),          // beyond the record
                FakeBinding::Text(kBeyond, "77"),                // ends the walk
                FakeBinding::Text({1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 2}, "88")}),
      std::nullopt));
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  const std::map<int, float> expected = {{7, 230.5f}, {8, -42.0f}, {9, 4e9f}, {10, 12.0f},
                                         {11, 360000.0f}, {12, 4294967301.0f}, {13, 7.0f},
                                         {14, 0.0f}, {15, 12.5f}, {16, 1.5f}, {17, -2.25f},
                                         {18, -5e9f}, {19, 1099511627776.0f}, {1397, 1.0f}};
  for (const auto& [column, value] : expected) EXPECT_EQ(device.Column(column), value) << column;
  EXPECT_EQ(agent.request_count(), 1u);
}

TEST_F(WalkFaultTest, NextRequestStartsAfterTheLastBindingOfAnAnswer) {
  FakeAgent agent(FirstThen(Bindings({FakeBinding::Text(Column(1), "1"),
                                      FakeBinding::Text(Column(2), "2"),
                                      FakeBinding::Text(Column(3), "3")}),
                            Bindings({FakeBinding::Text(kBeyond, "0")})));
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  ASSERT_EQ(agent.request_count(), 2u);
  EXPECT_EQ(agent.requests()[1].names.at(0), Column(3));
  EXPECT_EQ(device.Column(3), 3.0f);
}

struct BulkFailure {
  const char* cause;
  std::optional<FakeAnswer> answer;  // nothing: silence
};

class BulkFallbackTest : public WalkFaultTest, public ::testing::WithParamInterface<BulkFailure> {};

// An agent that fails every bulk request still gives its round, one binding at a time; the device
// says so once and keeps to one binding per request on the next pass.
TEST_P(BulkFallbackTest, AgentIsWalkedOneBindingAtATime) {
  const BulkFailure failure = GetParam();
  auto answer_table = TableScript(kRoot, {{1, "1.5"}, {2, "2.5"}}, FakeBinding::Text(kBeyond, "0"));
  FakeAgent agent([failure, answer_table](const FakeRequest& request) {
    return request.non_repeaters == 0 ? failure.answer : answer_table(request);
  });
  Aim(agent, 1);
  device.AskForRepetitions(10);
  EXPECT_EQ(Pass(), 1u);
  EXPECT_EQ(device.Column(2), 2.5f);
  EXPECT_EQ(LinesWith(log, "bulk"), 1u) << log;
  EXPECT_THAT(log, ::testing::HasSubstr(failure.cause));
  EXPECT_THAT(log, ::testing::HasSubstr("device 12 agent " + agent.address()));

  agent.ForgetRequests();
  EXPECT_EQ(Pass(), 1u);
  EXPECT_EQ(LinesWith(log, "bulk"), 0u) << log;
  for (const auto& request : agent.requests()) EXPECT_EQ(request.non_repeaters, 1);
}

INSTANTIATE_TEST_SUITE_P(Causes, BulkFallbackTest,
                         ::testing::Values(BulkFailure{"tooBig", FakeAnswer{SNMP_ERR_TOOBIG, 0, {}}},
                                           BulkFailure{"genErr", FakeAnswer{SNMP_ERR_GENERR, 0, {}}},
                                           BulkFailure{"no answer", std::nullopt}));

// A failing agent is told once per cause, over any number of passes, and its recovery once.
TEST_F(WalkFaultTest, FailingAgentIsToldOncePerCauseAndOnRecovery) {
  std::map<uint32_t, std::string> whole_table;
  for (uint32_t k = 1; k <= 1397; ++k) whole_table[k] = "1";
  auto answer_table = TableScript(kRoot, whole_table, FakeBinding::Text(kBeyond, "0"));
  FakeAgent agent([answer_table, asked = 0](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
    ++asked;
    if (asked <= 3) return std::nullopt;                    // silence, within the first pass
    if (asked <= 6) return FakeAnswer{SNMP_ERR_GENERR, 1, {FakeBinding::Null(request.names.at(0))}};
    return answer_table(request);
  });
  Aim(agent);
  std::string all;
  for (int pass = 1; pass <= 5; ++pass) {
    Pass();
    all += log;
  }
  EXPECT_EQ(LinesWith(all, ": failing: "), 2u) << all;
  EXPECT_THAT(all, ::testing::HasSubstr("device 12 agent " + agent.address() +
                                        ": failing: no answer within the time-out and its retries (or a wrong community)\n"));
  EXPECT_THAT(all, ::testing::HasSubstr(": failing: error status 5 (genErr) at OID 1.3.6.1.4.1.61333.1.1.4.0\n"));
  EXPECT_EQ(LinesWith(all, ": answering again after failing for "), 1u) << all;
}

TEST_F(WalkFaultTest, PassWithoutAgentAddressOnlyLogs) {
  InitHostSide(device, 12, R"({"address":4})");
  EXPECT_EQ(Pass(), 0u);
  EXPECT_EQ(log, "SNMP_QIRAOID::do_sample\n");
}

TEST_F(WalkFaultTest, SessionThatCannotOpenIsReportedWithoutARound) {
  InitHostSide(device, 12, R"({"agent":"udp:127.0.0.1:99999","address":4})");
  testing::internal::CaptureStderr();
  EXPECT_EQ(Pass(), 0u);
  EXPECT_THAT(testing::internal::GetCapturedStderr(), ::testing::HasSubstr("snmpbulkwalk"));
}

size_t OpenDescriptors() {
  size_t count = 0;
  if (DIR* directory = opendir("/proc/self/fd")) {
    while (readdir(directory) != nullptr) ++count;
    closedir(directory);
  }
  return count;
}

size_t HeapInUse() { return mallinfo2().uordblks; }  // 0 under the sanitizers' allocators

// Every pass closes its session and frees its answers: descriptors and heap stay flat (leaks also
// show under the sanitizers).
TEST_F(WalkFaultTest, DescriptorsAndHeapStayFlatOverManyPasses) {
  struct RoundCounter : standin::HostListener {
    size_t rounds = 0;
    void OnPublished(ZRMVDevice&, const std::string&) override { ++rounds; }
  } counter;
  FakeAgent agent(TableScript(kRoot, {{1, "1"}}, FakeBinding::Text(kBeyond, "0")));
  Aim(agent);
  standin::SetJournalKept(false);
  standin::SetListener(&counter);
  auto passes = [&](int count) {
    testing::internal::CaptureStdout();
    for (int i = 1; i <= count; ++i) {
      device.do_sample();
      if (i % 100 == 0) agent.ForgetRequests();
    }
    testing::internal::GetCapturedStdout();
  };
  passes(100);
  const size_t descriptors = OpenDescriptors();
  const size_t heap = HeapInUse();
  passes(2000);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_LT(HeapInUse(), heap + 16 * 1024);  // a leaked answer per pass alone would be far more
  EXPECT_EQ(counter.rounds, 2100u);
  standin::SetListener(nullptr);
  standin::SetJournalKept(true);
}

// Deleting a device whose thread waits on a silent agent returns without waiting for the
// time-out (10 s, one retry); a hang here is caught by the test's time limit.
TEST(WalkStop, DeleteWakesAThreadWaitingForAnAnswer) {
  FakeAgent agent([](const FakeRequest&) { return std::optional<FakeAnswer>(); });
  auto* device = new QiraoidProbe;
  InitHostSide(*device, 12, R"({"agent":")" + agent.address() + R"(","address":4})");
  testing::internal::CaptureStdout();
  device->InitSetting(ParseJson("{}"));
  while (agent.request_count() == 0) std::this_thread::yield();
  delete device;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(agent.request_count(), 1u);
}

}  // namespace
