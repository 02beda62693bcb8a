// Instructions per walk pass, for scripts/instructions.sh: run under valgrind's callgrind, each
// case configures a device in mode 2 against the cabinet simulator (the real snmpd, on loopback),
// walks two warm-up passes, then zeroes callgrind's counts, walks the measured pass and dumps
// them. The dump's description names the case and the rounds the pass completed.
// Outside valgrind the client requests do nothing and the passes simply run.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <string>

#include "qiraoid_probe.h"
#include "test_device.h"
#include "cabinet_agent.h"
#include "standin_host.h"

namespace {

struct Case {
  const char* name;         // two words: version and shape
  bool v3;                  // as the authPriv user below, else v2c
  const char* app_setting;  // appSetting members besides b_mode and the access keys
};

constexpr char kV3User[] = "poller:SHA-256:poller-auth-1:AES:poller-priv-1";
constexpr char kV3Settings[] = R"("snmp_version":"3","security_name":"poller","security_level":"authPriv",
    "auth_protocol":"SHA-256","auth_passphrase":"poller-auth-1","priv_protocol":"AES",
    "priv_passphrase":"poller-priv-1")";

const Case kCases[] = {
    {"v2c one-binding", false, ""},
    {"v2c bulk-100", false, R"(,"max_repetitions":100)"},
    {"v3-authPriv one-binding", true, ""},
    {"v3-authPriv bulk-100", true, R"(,"max_repetitions":100)"},
};

// Counts the rounds the host receives; the host keeps no journal, as a long-running one.
class RoundCounter : public standin::HostListener {
 public:
  void OnPublished(ZRMVDevice&, const std::string&) override { ++rounds; }
  size_t rounds = 0;
};

void Measure(const Case& c, const CabinetAgent& agent, RoundCounter& counter) {
  QiraoidProbe device;
  InitHostSide(device, 12, R"({"agent":")" + agent.address() + R"(","address":4})");
  device.ReadSettings(ParseJson(std::string(R"({"appSetting":{"b_mode":"2")") +
                                (c.v3 ? std::string(",") + kV3Settings : "") + c.app_setting + "}}"));
  for (int warm_up = 0; warm_up < 2; ++warm_up) device.do_sample();
  const size_t rounds_before = counter.rounds;
  CALLGRIND_ZERO_STATS;
  device.do_sample();
  const size_t rounds = counter.rounds - rounds_before;
  const std::string description =
      std::string(c.name) + " rounds=" + std::to_string(rounds);
  CALLGRIND_DUMP_STATS_AT(description.c_str());
  std::fprintf(stderr, "%s\n", description.c_str());
}

}  // namespace

int main() {
  CabinetAgent agent({{4}, true, "qondel", {kV3User}});
  RoundCounter counter;
  standin::SetJournalKept(false);
  standin::SetListener(&counter);
  std::FILE* saved = stdout;
  stdout = std::fopen("/dev/null", "w");  // the passes' log lines are not what is measured
  for (const Case& c : kCases) Measure(c, agent, counter);
  std::fclose(stdout);
  stdout = saved;
  standin::SetListener(nullptr);
  return 0;
}
