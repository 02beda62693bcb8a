// zrmhost run and replay refuse every configuration zrmhost check rejects, before any device
// starts: each of check's lines on standard error, nothing on standard output, exit status 1.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

struct Rejected {
  const char* name;
  std::vector<std::string> devices;
};

void PrintTo(const Rejected& rejected, std::ostream* out) { *out << rejected.name; }

std::string Device(int id, const std::string& settings) {
  return "{\"id\": " + std::to_string(id) + ", \"agent\": \"fake:10\", \"address\": 4, \"appSetting\": {" +
         settings + "}}";
}

const std::string kAuthPrivWithoutPrivPassphrase =
    R"("b_mode": "2", "snmp_version": "3", "security_name": "poller", "security_level": "authPriv",
       "auth_protocol": "SHA-256", "auth_passphrase": "poller-auth-1", "priv_protocol": "AES-128")";

class RunCheckAgreeTest : public ::testing::TestWithParam<Rejected> {};

TEST_P(RunCheckAgreeTest, RunAndReplayRefuseWithChecksLines) {
  ScratchDir dir;
  const std::string config = dir.Write("config.json", ConfigText(GetParam().devices));
  const ProcessResult check = RunProcess({ZRMHOST_PATH, "check", "--config", config});
  ASSERT_EQ(check.exit_code, 1) << check.out;
  ASSERT_FALSE(check.out.empty());
  std::string told;
  for (const std::string& line : Lines(check.out)) told += "zrmhost: " + line + "\n";

  const std::vector<std::vector<std::string>> commands = {
      {ZRMHOST_PATH, "run", "--plugin", FAKE_PLUGIN_PATH, "--config", config, "--rounds", "1", "--timeout", "5"},
      {ZRMHOST_PATH, "replay", "--plugin", FAKE_PLUGIN_PATH, "--config", config, "--history", dir.path()},
  };
  for (const std::vector<std::string>& command : commands) {
    const ProcessResult result = RunProcess(command);
    EXPECT_EQ(result.exit_code, 1) << command[1] << ": " << result.err;
    EXPECT_EQ(result.err, told) << command[1];
    EXPECT_EQ(result.out, "") << command[1];
    EXPECT_EQ(result.err.find(kSecret), std::string::npos) << command[1];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runner, RunCheckAgreeTest,
    ::testing::Values(
        Rejected{"ModeWithTrailingLetters", {Device(12, R"("b_mode": "2abc")")}},
        Rejected{"AuthPrivWithoutPrivPassphrase", {Device(12, kAuthPrivWithoutPrivPassphrase)}},
        Rejected{"ShortPrivPassphrase",
                 {Device(12, kAuthPrivWithoutPrivPassphrase + R"(, "priv_passphrase": "short")")}},
        Rejected{"RetriesOutOfRange", {Device(12, R"("b_mode": "2", "retries": 11)")}},
        Rejected{"UnknownSettingBesideASecret",
                 {Device(12, R"("b_mode": "2", "comunity": ")" + kSecret + "\"")}},
        Rejected{"ModeAsAnObject", {Device(12, R"("b_mode": {})")}},
        Rejected{"ProblemsOfTwoDevicesBesideAGoodOne",
                 {Device(12, R"("b_mode": "2")"), Device(13, R"("b_mode": "2abc")"),
                  Device(14, R"("b_mode": "2", "max_repetitions": 0, "timeout_seconds": "soon")")}},
        Rejected{"MistypedRunnerKeyAndABadMode",
                 {R"({"id": 12, "agent": "fake:10", "address": 4, "appsetting": {"b_mode": "2"}})",
                  Device(13, R"("b_mode": "7")")}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
