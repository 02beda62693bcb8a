// SNMPv3 devices whose agents share an engine ID, as cabinets built from one firmware image do,
// each with the same user names but its own passphrases and its own boot count: polled from one
// process beside a pair whose engine IDs differ, every device completes every pass with its own
// agent's values and no failing line, at both security levels and in both request shapes, while
// one device's settings change (other user, other protocols) and another device comes and goes.
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace {

constexpr int kColumns = 12;
constexpr int kPasses = 6;
constexpr int kVisitorArrives = 2;
constexpr int kSettingsChange = 3;
constexpr int kVisitorLeaves = 4;

// Two agents share an engine ID and two do not; boots differ within each pair.
struct AgentPlan {
  const char* engine_id;
  int boots;
};
constexpr AgentPlan kAgents[] = {{"firmware-7", 1}, {"firmware-7", 5}, {"cabinet-c", 1}, {"cabinet-d", 5}};

// Every agent has the same three users, with passphrases of its own: dora authPriv, nora
// authNoPriv, erin authPriv with other protocols (AES-256 from a SHA key needs its key extended).
std::string Suffix(int agent) { return "-of-agent-" + std::to_string(agent); }
std::vector<std::string> Users(int agent) {
  return {"dora:SHA:dora-auth" + Suffix(agent) + ":AES:dora-priv" + Suffix(agent),
          "nora:SHA-256:nora-auth" + Suffix(agent),
          "erin:SHA:erin-auth" + Suffix(agent) + ":AES-256:erin-priv" + Suffix(agent)};
}
std::string Dora(int agent) {
  return R"("security_name":"dora","security_level":"authPriv","auth_protocol":"SHA","auth_passphrase":"dora-auth)" +
         Suffix(agent) + R"(","priv_protocol":"AES","priv_passphrase":"dora-priv)" + Suffix(agent) + R"(")";
}
std::string Nora(int agent) {
  return R"("security_name":"nora","security_level":"authNoPriv","auth_protocol":"SHA-256","auth_passphrase":"nora-auth)" +
         Suffix(agent) + R"(")";
}
std::string Erin(int agent) {
  return R"("security_name":"erin","security_level":"authPriv","auth_protocol":"SHA","auth_passphrase":"erin-auth)" +
         Suffix(agent) + R"(","priv_protocol":"AES-256","priv_passphrase":"erin-priv)" + Suffix(agent) + R"(")";
}

// Column k of agent a holds a + k / 100, so a device that read another agent's table shows it;
// the last column ends the table where the cabinet's does, short walks with a whole table.
std::string Values(int agent) {
  std::string values;
  for (int k = 1; k <= kColumns; ++k) values += "4." + std::to_string(k) + " " + std::to_string(agent + k / 100.0) + "\n";
  return values + "4.1397 " + std::to_string(agent) + "\n";
}

struct Case {
  const char* name;
  std::function<std::string(int)> user;  // the settings of the user every device starts with
  long max_repetitions;                  // 0: one binding per request
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SharedEngineTest : public ::testing::TestWithParam<Case> {
 protected:
  SharedEngineTest() {
    for (int a = 0; a < 4; ++a) {
      CabinetAgent::Options options{{4}, true, "qondel", Users(a), kAgents[a].engine_id, kAgents[a].boots};
      agents_.push_back(std::make_unique<CabinetAgent>(options, Values(a)));
    }
  }

  std::unique_ptr<QiraoidProbe> Device(unsigned id, int agent) {
    auto device = std::make_unique<QiraoidProbe>();
    InitHostSide(*device, id, R"({"agent":")" + agents_[agent]->address() + R"(","address":4})");
    Configure(*device, GetParam().user(agent));
    device->AskForRepetitions(GetParam().max_repetitions);
    return device;
  }
  static void Configure(QiraoidProbe& device, const std::string& user) {
    device.ReadAccess(ParseJson(R"({"snmp_version":"3",)" + user + R"(,"timeout_seconds":"2","retries":2})"));
  }

  std::vector<std::unique_ptr<CabinetAgent>> agents_;
};

// One pass of every device at once, each on its own thread as their sampling threads would.
void PassTogether(const std::vector<QiraoidProbe*>& devices) {
  std::vector<std::thread> passes;
  for (QiraoidProbe* device : devices) passes.emplace_back([device] { device->do_sample(); });
  for (std::thread& pass : passes) pass.join();
}

TEST_P(SharedEngineTest, EveryDeviceKeepsItsKeysItsAgentsClockAndItsPace) {
  std::vector<std::unique_ptr<QiraoidProbe>> devices;
  for (int a = 0; a < 4; ++a) devices.push_back(Device(30 + a, a));
  std::unique_ptr<QiraoidProbe> visitor;  // a second device at the first shared agent, for a while
  size_t visitor_rounds = 0;

  testing::internal::CaptureStdout();
  for (int pass = 0; pass < kPasses; ++pass) {
    if (pass == kVisitorArrives) visitor = Device(40, 0);
    if (pass == kVisitorLeaves) {
      visitor_rounds = standin::PublishedOf(*visitor).size();
      visitor.reset();
    }
    if (pass == kSettingsChange) Configure(*devices[1], Erin(1));
    std::vector<QiraoidProbe*> passing;
    for (const auto& device : devices) passing.push_back(device.get());
    if (visitor) passing.push_back(visitor.get());
    PassTogether(passing);
  }
  const std::string log = testing::internal::GetCapturedStdout();

  for (int a = 0; a < 4; ++a) {
    SCOPED_TRACE("device of agent " + std::to_string(a) + " (engine " + kAgents[a].engine_id + ")");
    EXPECT_EQ(standin::PublishedOf(*devices[a]).size(), static_cast<size_t>(kPasses));
    for (int k = 1; k <= kColumns; ++k) EXPECT_FLOAT_EQ(devices[a]->Column(k), static_cast<float>(a + k / 100.0));
  }
  EXPECT_EQ(visitor_rounds, static_cast<size_t>(kVisitorLeaves - kVisitorArrives));
  EXPECT_EQ(log.find("failing"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    LevelsAndShapes, SharedEngineTest,
    ::testing::Values(Case{"AuthPrivOneBinding", Dora, 0}, Case{"AuthPrivBulk", Dora, 5},
                      Case{"AuthNoPrivOneBinding", Nora, 0}, Case{"AuthNoPrivBulk", Nora, 5}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
