// Access settings against the real agent: SNMPv3 users, another community, wrong credentials,
// an agent restarted between passes; and the agent's fault lines, once per cause.
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

using ::testing::HasSubstr;

const std::string kAlice = "alice:SHA:alice-auth-1";                              // authNoPriv
const std::string kBob = "bob:SHA-256:bob-auth-22:AES:bob-priv-333";               // authPriv
const char kAliceSettings[] = R"("snmp_version":"3","security_name":"alice","security_level":"authNoPriv",
    "auth_protocol":"SHA","auth_passphrase":"alice-auth-1")";
const char kBobSettings[] = R"("snmp_version":3,"security_name":"bob","security_level":"authPriv",
    "auth_protocol":"SHA-256","auth_passphrase":"bob-auth-22","priv_protocol":"AES","priv_passphrase":"bob-priv-333")";

std::map<int, std::string> DistinctColumns() {
  std::map<int, std::string> columns;
  for (int k = 1; k <= 1397; ++k) columns[k] = std::to_string(k + 0.75f);
  return columns;
}

// Lines of a log that hold `word`.
std::vector<std::string> LinesWith(const std::string& log, const std::string& word) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < log.size(); start = end + 1) {
    end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    if (line.find(word) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

class AccessTest : public ::testing::Test {
 protected:
  AccessTest() : agent({{4}, true, "not-qondel", {kAlice, kBob}}) { agent.SetColumns(4, DistinctColumns()); }

  // A device aimed at the agent with the given access settings (JSON members of appSetting).
  std::unique_ptr<QiraoidProbe> Device(const std::string& settings) {
    auto device = std::make_unique<QiraoidProbe>();
    InitHostSide(*device, 12, R"({"agent":")" + agent.address() + R"(","address":4})");
    Configure(*device, settings);
    return device;
  }
  void Configure(QiraoidProbe& device, const std::string& settings) {
    device.ReadAccess(ParseJson("{" + settings + R"(,"timeout_seconds":"0.2","retries":0})"));
  }
  // Passes, and the rounds they completed.
  size_t Passes(QiraoidProbe& device, int count = 1) {
    const size_t before = standin::PublishedOf(device).size();
    for (int i = 0; i < count; ++i) device.do_sample();
    return standin::PublishedOf(device).size() - before;
  }

  CabinetAgent agent;
};

// The same table read in SNMPv2c with the agent's community, as an authNoPriv user and as an
// authPriv user gives the same record.
TEST_F(AccessTest, EveryWayInGivesTheSameRecord) {
  testing::internal::CaptureStdout();
  std::vector<std::string> values;
  for (const std::string& settings : {std::string(R"("community":"not-qondel")"), std::string(kAliceSettings),
                                     std::string(kBobSettings)}) {
    auto device = Device(settings);
    if (Passes(*device) != 1u) {
      ADD_FAILURE() << settings << "\n" << testing::internal::GetCapturedStdout();
      return;
    }
    values.push_back(standin::PublishedOf(*device).back().substr(0, 4 + 4 * 1397));
    EXPECT_EQ(device->Column(1397), 1397.75f) << settings;
  }
  EXPECT_EQ(values[1], values[0]);
  EXPECT_EQ(values[2], values[0]);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(LinesWith(log, ": failing: ").empty()) << log;
}

// Wrong credentials at either authenticated level give one line over several passes and no round,
// each pass ending at the agent's Report rather than waiting; corrected ones give a round and one
// line saying the agent answers again. No line names a passphrase.
TEST_F(AccessTest, WrongCredentialsAreToldOnceAndRecoverWhenCorrected) {
  const struct {
    const char* what;
    std::string settings;
    const char* said;
  } rows[] = {
      {"wrong auth passphrase", R"("snmp_version":"3","security_name":"alice","security_level":"authNoPriv",
          "auth_protocol":"SHA","auth_passphrase":"not-alice-auth")", "authentication"},
      {"unknown user", R"("snmp_version":"3","security_name":"mallory","security_level":"authNoPriv",
          "auth_protocol":"SHA","auth_passphrase":"alice-auth-1")", "authentication"},
      {"authPriv, wrong auth passphrase", R"("snmp_version":"3","security_name":"bob","security_level":"authPriv",
          "auth_protocol":"SHA-256","auth_passphrase":"not-bob-auth","priv_protocol":"AES","priv_passphrase":"bob-priv-333")",
       "authentication failed"},
      {"authPriv, unknown user", R"("snmp_version":"3","security_name":"mallory","security_level":"authPriv",
          "auth_protocol":"SHA-256","auth_passphrase":"bob-auth-22","priv_protocol":"AES","priv_passphrase":"bob-priv-333")",
       "authentication failed"},
  };
  for (const auto& row : rows) {
    testing::internal::CaptureStdout();
    auto device = Device(row.settings);
    EXPECT_EQ(Passes(*device, 3), 0u) << row.what;
    Configure(*device, kAliceSettings);
    EXPECT_EQ(Passes(*device), 1u) << row.what;
    const std::string log = testing::internal::GetCapturedStdout();
    const auto failing = LinesWith(log, ": failing: ");
    ASSERT_EQ(failing.size(), 1u) << row.what << "\n" << log;
    EXPECT_THAT(failing[0], HasSubstr(row.said));
    EXPECT_THAT(failing[0], HasSubstr("device 12 agent " + agent.address()));
    EXPECT_EQ(LinesWith(log, "answering again").size(), 1u) << log;
    EXPECT_TRUE(LinesWith(log, "alice-auth").empty()) << log;
    EXPECT_TRUE(LinesWith(log, "bob-").empty()) << log;
  }
}

// A device address the agent does not serve has no table: no round, and one line naming the root,
// whichever way the device reaches the agent.
TEST_F(AccessTest, UnservedAddressGivesNoRound) {
  for (const std::string& settings : {std::string(R"("community":"not-qondel")"), std::string(kBobSettings)}) {
    testing::internal::CaptureStdout();
    auto device = std::make_unique<QiraoidProbe>();
    InitHostSide(*device, 12, R"({"agent":")" + agent.address() + R"(","address":7})");
    Configure(*device, settings);
    EXPECT_EQ(Passes(*device, 3), 0u) << settings;
    const std::string log = testing::internal::GetCapturedStdout();
    const auto failing = LinesWith(log, ": failing: ");
    ASSERT_EQ(failing.size(), 1u) << log;
    EXPECT_THAT(failing[0], HasSubstr("the agent has no table at OID 1.3.6.1.4.1.61333.1.1.7.0"));
  }
}

// An agent that cannot decrypt drops the request unanswered, so the pass waits on; new settings
// end that pass, and the next one uses them.
TEST_F(AccessTest, WrongPrivPassphraseIsSilenceUntilTheSettingsChange) {
  testing::internal::CaptureStdout();
  auto device = Device(R"("snmp_version":"3","security_name":"bob","security_level":"authPriv",
      "auth_protocol":"SHA-256","auth_passphrase":"bob-auth-22","priv_protocol":"AES","priv_passphrase":"not-bob-priv")");
  std::thread silent_pass([&] { device->do_sample(); });
  std::this_thread::sleep_for(std::chrono::seconds(1));  // several time-outs of 0.2 s
  Configure(*device, kBobSettings);
  silent_pass.join();
  EXPECT_EQ(standin::PublishedOf(*device).size(), 0u);
  EXPECT_EQ(Passes(*device), 1u);
  const std::string log = testing::internal::GetCapturedStdout();
  const auto failing = LinesWith(log, ": failing: ");
  ASSERT_EQ(failing.size(), 1u) << log;
  EXPECT_THAT(failing[0], HasSubstr("priv passphrase"));
  EXPECT_EQ(LinesWith(log, "answering again").size(), 1u) << log;
  EXPECT_TRUE(LinesWith(log, "bob-priv").empty()) << log;
}

// A restart gives the agent new engine boots and time; the next pass discovers them.
TEST_F(AccessTest, AgentRestartedBetweenPassesIsWalkedAgain) {
  testing::internal::CaptureStdout();
  auto device = Device(kBobSettings);
  EXPECT_EQ(Passes(*device), 1u);
  agent.Restart();
  agent.SetColumns(4, {{1397, "-1"}});
  EXPECT_EQ(Passes(*device), 1u);
  EXPECT_EQ(device->Column(1397), -1.0f);
  testing::internal::GetCapturedStdout();
}

}  // namespace
