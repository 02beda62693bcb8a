// An agent's address where nothing listens is told at its first request as refused, naming the
// address, in every version and request shape, before and after the engine discovery; the device
// asks again each pass and walks the agent once it listens. A port that takes datagrams and never
// answers is still silence, told after the budget.
#include <map>
#include <memory>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "absent_agent.h"
#include "cabinet_agent.h"
#include "fake_agent.h"
#include "log_lines.h"
#include "probe_pass.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

using ::testing::HasSubstr;
using qiraoid::AgentState;
using qiraoid::DriverFigures;

const std::string kAlice = "alice:SHA:alice-auth-1";                 // authNoPriv
const std::string kBob = "bob:SHA-256:bob-auth-22:AES:bob-priv-333";  // authPriv
const char kV2c[] = R"("community":"qondel")";
const char kAliceNoAuth[] = R"("snmp_version":"3","security_name":"alice","security_level":"noAuthNoPriv")";
const char kAliceAuth[] = R"("snmp_version":"3","security_name":"alice","security_level":"authNoPriv",
    "auth_protocol":"SHA","auth_passphrase":"alice-auth-1")";
const char kBobPriv[] = R"("snmp_version":"3","security_name":"bob","security_level":"authPriv",
    "auth_protocol":"SHA-256","auth_passphrase":"bob-auth-22","priv_protocol":"AES","priv_passphrase":"bob-priv-333")";

// Device 12 at address 4 of the agent, with these access settings, max_repetitions and a budget
// of 10 s: a refusal told as silence would take all of it, and count silences.
void Aim(QiraoidProbe& device, const std::string& agent, const std::string& access, long repetitions) {
  InitHostSide(device, 12, R"({"agent":")" + agent + R"(","address":4})");
  device.ReadAccess(ParseJson(R"({"timeout_seconds":"5","retries":1,)" + access + "}"));
  device.AskForRepetitions(repetitions);
}

std::string Failing(const std::string& agent, const std::string& cause) {
  return "device 12 agent " + agent + ": failing: " + cause + "\n";
}

// A pass's whole log when it tells that nothing listens at the agent.
std::string RefusedPass(const std::string& agent) {
  return "SNMP_QIRAOID::do_sample\n" + Failing(agent, "nothing listens at " + agent + ": port unreachable");
}

TEST(Refusal, ClosedPortIsToldAtTheFirstRequestAndOncePerCause) {
  const struct {
    const char* what;
    int family;
    const char* access;
    long repetitions;
  } rows[] = {
      {"v2c, one binding", AF_INET, kV2c, 0},
      {"v2c, bulk shape", AF_INET, kV2c, 10},
      {"v2c over IPv6", AF_INET6, kV2c, 10},
      {"SNMPv3 authPriv: the engine discovery", AF_INET, kBobPriv, 0},
      {"SNMPv3 authPriv, bulk shape: the engine discovery", AF_INET, kBobPriv, 10},
  };
  for (const auto& row : rows) {
    const std::string agent = absent_agent::LoopbackAddress(row.family, absent_agent::ClosedUdpPort(row.family));
    QiraoidProbe device;
    Aim(device, agent, row.access, row.repetitions);
    std::string log;
    EXPECT_EQ(PassLogged(device, &log), 0u) << row.what;
    EXPECT_EQ(log, RefusedPass(agent)) << row.what;
    EXPECT_EQ(PassLogged(device, &log), 0u) << row.what;
    EXPECT_EQ(log, "SNMP_QIRAOID::do_sample\n") << row.what << ": the same cause again";

    const DriverFigures figures = device.DriverFigures();
    EXPECT_EQ(figures.passes, 2u) << row.what;
    EXPECT_EQ(figures.totals.requests, 2u) << row.what << ": one request a pass";
    EXPECT_EQ(figures.totals.retransmissions, 0u) << row.what;
    EXPECT_EQ(figures.totals.silences, 0u) << row.what;
    EXPECT_EQ(figures.totals.bulk_give_ups, 0u) << row.what;
    EXPECT_EQ(figures.agent, AgentState::kFailing) << row.what;
    EXPECT_EQ(figures.cause, "nothing listens at " + agent + ": port unreachable") << row.what;
  }
}

// An agent that stops between passes is refused at the next one, whose request is already made at
// the device's security level with the engine it knew.
TEST(Refusal, AgentThatStopsIsToldAtEachSecurityLevel) {
  const struct {
    const char* what;
    const char* access;
  } rows[] = {{"v2c", kV2c}, {"noAuthNoPriv", kAliceNoAuth}, {"authNoPriv", kAliceAuth}, {"authPriv", kBobPriv}};
  for (const auto& row : rows) {
    auto cabinet = std::make_unique<CabinetAgent>(CabinetAgent::Options{{4}, true, "qondel", {kAlice, kBob}},
                                                  "4.1 1.5\n4.2 2.5\n");
    const std::string agent = cabinet->address();
    QiraoidProbe device;
    Aim(device, agent, row.access, 10);
    std::string log;
    PassLogged(device, &log);
    cabinet.reset();
    PassLogged(device, &log);
    EXPECT_EQ(log, RefusedPass(agent)) << row.what;
    EXPECT_EQ(device.DriverFigures().totals.silences, 0u) << row.what;
  }
}

std::map<uint32_t, std::string> WholeTable() {
  std::map<uint32_t, std::string> table;
  for (uint32_t k = 1; k <= 1397; ++k) table[k] = "1";
  return table;
}

const std::vector<uint32_t> kRoot = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 0};
const std::vector<uint32_t> kBeyond = {1, 3, 6, 1, 4, 1, 61333, 1, 1, 4, 1, 1};

TEST(Refusal, AgentThatStartsListeningIsWalkedAtTheNextPass) {
  const uint16_t port = absent_agent::ClosedUdpPort();
  const std::string address = absent_agent::LoopbackAddress(AF_INET, port);
  QiraoidProbe device;
  Aim(device, address, kV2c, 100);
  std::string log;
  EXPECT_EQ(PassLogged(device, &log), 0u);
  EXPECT_EQ(log, RefusedPass(address));

  FakeAgent agent(TableScript(kRoot, WholeTable(), FakeBinding::Text(kBeyond, "0")), port);
  EXPECT_EQ(PassLogged(device, &log), 1u);
  EXPECT_EQ(LinesWith(log, "device 12 agent " + address + ": answering again after failing for "), 1u) << log;
  EXPECT_EQ(LinesWith(log, "failing: "), 0u) << log;
  EXPECT_EQ(device.DriverFigures().agent, AgentState::kAnswering);
}

// A port that takes datagrams without a word is silence through the whole budget, in both shapes;
// in v2c a wrong community looks the same, and the line says so.
TEST(Refusal, BlackHoleIsStillSilence) {
  for (const long repetitions : {0L, 10L}) {
    auto answer_table = TableScript(kRoot, WholeTable(), FakeBinding::Text(kBeyond, "0"));
    FakeAgent agent([answer_table, asked = 0](const FakeRequest& request) mutable -> std::optional<FakeAnswer> {
      if (++asked <= 2) return std::nullopt;
      return answer_table(request);
    });
    QiraoidProbe device;
    AimProbe(device, agent.address(), 0);
    device.AskForRepetitions(repetitions);
    std::string log;
    EXPECT_EQ(PassLogged(device, &log), 1u) << repetitions;
    EXPECT_THAT(log, HasSubstr(Failing(agent.address(),
                                       "no answer within the time-out and its retries (or a wrong community)")))
        << repetitions;
    EXPECT_GE(device.DriverFigures().totals.silences, 1u) << repetitions;
  }
}

}  // namespace
