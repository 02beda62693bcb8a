// The bulk shape against a scripted agent: silence is not refusal, tooBig halves the repetitions,
// an undecodable answer is told as such, and the rest after a refusal doubles until a complete
// bulk pass.
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "access_settings.h"
#include "fake_agent.h"
#include "fake_poll_clock.h"
#include "log_lines.h"
#include "poller.h"
#include "probe_pass.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

using Name = std::vector<uint32_t>;
using ::testing::HasSubstr;

const Name kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const Name kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 1, 1};

FakeScript Table() {
  std::map<uint32_t, std::string> columns;
  for (uint32_t k = 1; k <= 20; ++k) columns[k] = std::to_string(k);
  return TableScript(kRoot, columns, FakeBinding::Text(kBeyond, "0"));
}

class WalkBulkTest : public ::testing::Test {
 protected:
  // A device in the bulk shape (10 repetitions) aimed at the agent; silence costs 100 ms.
  void Aim(const FakeAgent& agent) {
    AimProbe(device, agent.address(), 0);
    device.AskForRepetitions(10);
  }
  size_t Pass() { return PassLogged(device, &log); }
  static std::vector<long> Repetitions(const FakeAgent& agent) {
    std::vector<long> shapes;  // 0 for one binding
    for (const auto& request : agent.requests()) shapes.push_back(request.non_repeaters == 0 ? request.max_repetitions : 0);
    return shapes;
  }

  QiraoidProbe device;
  std::string log;
};

// An agent silent for a while, to a request and its retransmissions or to both shapes (as while it
// restarts), keeps the bulk shape: the walk goes on in it once the agent answers again.
TEST_F(WalkBulkTest, SilenceKeepsTheBulkShape) {
  for (const int silences : {2, 5}) {
    FakeAgent agent([table = Table(), silent = silences](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
      if (request.names.at(0) != kRoot && silent-- > 0) return std::nullopt;
      return table(request);
    });
    Aim(agent);
    EXPECT_EQ(Pass(), 1u) << silences;
    EXPECT_EQ(LinesWith(log, "bulk"), 0u) << log;
    EXPECT_EQ(Repetitions(agent).back(), 10) << silences;
    agent.ForgetRequests();
    EXPECT_EQ(Pass(), 1u);
    for (const long repetitions : Repetitions(agent)) EXPECT_EQ(repetitions, 10);
  }
}

// tooBig halves the repetitions at the same position, and the pass goes on in the smaller shape.
TEST_F(WalkBulkTest, TooBigHalvesTheRepetitions) {
  FakeAgent agent([table = Table()](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
    if (request.non_repeaters == 0 && request.max_repetitions > 3) return FakeAnswer{SNMP_ERR_TOOBIG, 0, {}};
    return table(request);
  });
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  EXPECT_EQ(LinesWith(log, "bulk"), 0u) << log;
  EXPECT_THAT(Repetitions(agent), ::testing::ElementsAre(10, 5, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2));
  EXPECT_EQ(device.Column(20), 20.0f);
}

// An answer the library cannot decode (here an unknown PDU type) is told as such, not as silence,
// and does not give the bulk shape up.
TEST_F(WalkBulkTest, UndecodableAnswerIsToldAndKeepsTheBulkShape) {
  FakeAgent agent([table = Table(), garbled = 3](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
    std::optional<FakeAnswer> answer = table(request);
    if (garbled-- > 0) answer->pdu_type = 0xAF;
    return answer;
  });
  Aim(agent);
  EXPECT_EQ(Pass(), 1u);
  EXPECT_EQ(LinesWith(log, "bulk"), 0u) << log;
  EXPECT_EQ(LinesWith(log, ": failing: an answer the library cannot decode"), 1u) << log;
  EXPECT_EQ(LinesWith(log, "no answer"), 0u) << log;
}

// Each refusal in a row doubles the rest in the one-binding shape; the bulk shape is tried again
// once the rest is over, not a second before; a complete bulk pass ends the row, and the next
// refusal rests a minute again. The device's poller against the agent, on a fake clock.
TEST_F(WalkBulkTest, RestAfterARefusalDoublesUntilACompleteBulkPass) {
  std::atomic<bool> refuses{true};  // read on the agent's thread
  FakeAgent agent([table = Table(), &refuses](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
    if (refuses && request.non_repeaters == 0) return FakeAnswer{SNMP_ERR_GENERR, 0, {}};
    return table(request);
  });
  FakePollClock clock;
  qiraoid::NetSnmpOpener opener;
  qiraoid::Poller poller(clock, opener);
  const auto short_time_out = qiraoid::ReadAccessSettings(ParseJson(R"({"timeout_seconds":"0.1","retries":0})"));
  poller.UseAccess(std::make_shared<const qiraoid::AccessSettings>(std::get<qiraoid::AccessSettings>(short_time_out)));
  poller.SetMaxRepetitions(10);
  const qiraoid::PassAim aim{12, agent.address(), {kRoot.begin(), kRoot.end()}, 20};
  const auto shapes_of_pass = [&](KeptPass& kept) {
    agent.ForgetRequests();
    EXPECT_EQ(poller.Pass(aim, kept), qiraoid::Poller::Walked::kComplete) << kept.log;
    return Repetitions(agent);
  };
  const struct {
    std::chrono::seconds rest;  // the previous pass's, waited before this one
    bool refuses;
    const char* line;  // the fallback line's rest, or nothing
  } passes[] = {{std::chrono::seconds(0), true, "for 1 min 0 s: "},
                {std::chrono::minutes(1), true, "for 2 min 0 s: "},
                {std::chrono::minutes(2), true, "for 4 min 0 s: "},
                {std::chrono::minutes(4), false, nullptr},
                {std::chrono::seconds(0), true, "for 1 min 0 s: "}};
  for (const auto& pass : passes) {
    refuses = pass.refuses;
    if (pass.rest.count() > 0) {
      clock.Advance(pass.rest - std::chrono::seconds(1));
      KeptPass resting;
      for (const long repetitions : shapes_of_pass(resting)) {
        EXPECT_EQ(repetitions, 0) << "a second before the rest ends";
      }
      clock.Advance(std::chrono::seconds(1));
    }
    KeptPass kept;
    EXPECT_EQ(shapes_of_pass(kept).front(), 10) << "the bulk shape is tried again";
    if (pass.line == nullptr) {
      EXPECT_EQ(LinesWith(kept.log, "bulk"), 0u) << kept.log;
    } else {
      EXPECT_EQ(LinesWith(kept.log, std::string("device 12 agent ") + agent.address() +
                                        ": falls back from the bulk shape to one binding per request " + pass.line),
                1u)
          << kept.log;
    }
  }
  KeptPass resting;
  for (const long repetitions : shapes_of_pass(resting)) EXPECT_EQ(repetitions, 0);
}

}  // namespace
