// zrmhost check: every problem of a configuration, the runner's keys and the plug-in's settings,
// each with the key probably meant; exit 0 with none, 1 otherwise; never a secret in what it says.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

ProcessResult Check(const std::string& text) {
  ScratchDir dir;
  return RunProcess({ZRMHOST_PATH, "check", "--config", dir.Write("config.json", text)});
}

TEST(RunnerCheck, ListsEveryProblemOfEveryDeviceWithTheNearestKey) {
  const ProcessResult result = Check(ConfigText({
      R"({"id": 12, "agent": "udp:127.0.0.1:161", "address": 4, "appsetting": {"b_mode": "2"}})",
      R"({"id": 13, "agent": "udp:127.0.0.1:161", "address": 5, "appSetting": {"b_mode": "2",
          "max_repetition": 10, "comunity": ")" + kSecret + R"(", "retries": "many"}})",
      R"({"id": 13, "agent": "udp:999.0.0.1", "address": 4})",
  }));
  EXPECT_EQ(result.exit_code, 1) << result.err;
  const std::vector<std::string> lines = Lines(result.out);
  const std::vector<std::string> expected = {
      "devices[0] (id 12) has a key \"appsetting\" that neither the runner nor the device reads; did you mean "
      "appSetting?",
      "devices[1] (id 13): appSetting key \"comunity\" is not one the device reads; did you mean community?",
      "devices[1] (id 13): appSetting key \"max_repetition\" is not one the device reads; did you mean "
      "max_repetitions?",
      "devices[1] (id 13): appSetting.retries refused: needs a whole number from 0 to 10",
      "devices[2] repeats id 13",
      "devices[2] (id 13) has an \"agent\" that is not a usable SNMP address",
  };
  ASSERT_EQ(lines.size(), expected.size()) << result.out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_NE(lines[i].find(expected[i]), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].rfind("configuration ", 0), 0u) << lines[i];
  }
  EXPECT_EQ(result.out.find(kSecret), std::string::npos);
  EXPECT_EQ(result.err, "");
}

TEST(RunnerCheck, AMistypedAccessKeyAndARefusedCombinationAreNamed) {
  const ProcessResult result = Check(ConfigText({R"({"id": 1, "agent": "udp:127.0.0.1", "address": 1,
      "appSetting": {"snmp_version": "3", "security_name": "poller", "security_level": "authPriv",
                     "auth_protocol": "SHA", "auth_passphrase": ")" + kSecret + R"(",
                     "priv_pasphrase": ")" + kSecret + R"("}})"}));
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.out.find("appSetting key \"priv_pasphrase\" is not one the device reads; did you mean "
                            "priv_passphrase?"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("appSetting.priv_protocol refused: needs DES, AES, AES-192 or AES-256"),
            std::string::npos) << result.out;
  EXPECT_EQ(result.out.find(kSecret), std::string::npos);
}

TEST(RunnerCheck, AGoodConfigurationPassesAndAnEmptyOneIsCalledEmpty) {
  const ProcessResult good = Check(ConfigText({DeviceText(12, "udp:127.0.0.1:161", 4, 2),
                                               R"({"id": 13, "agent": "udp:127.0.0.1", "address": 5,
          "appSetting": {"b_mode": "3", "retransmission": "adaptive"},
          "thresholdSetting": {"k1": {"SignalName": "x", "NMAlarmID": "7", "ID": "1", "SignalNumber": "3"}}})"}));
  EXPECT_EQ(good.exit_code, 0) << good.out;
  EXPECT_NE(good.out.find(": no problem found"), std::string::npos) << good.out;

  const ProcessResult empty = Check("{\"devices\": []}");
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_NE(empty.out.find("has an empty \"devices\" list"), std::string::npos) << empty.out;

  const ProcessResult not_json = Check("{\"devices\": [");
  EXPECT_EQ(not_json.exit_code, 1);
  EXPECT_NE(not_json.out.find("is not valid JSON"), std::string::npos) << not_json.out;
}

// With --column-map, the map's problems follow the configuration's, each naming its line; a good
// map is said to be so, and a map that cannot be read is named.
TEST(RunnerCheck, AColumnMapIsCheckedAsRunAndDumpReadIt) {
  ScratchDir dir;
  const std::string config = dir.Write("config.json", ConfigText({DeviceText(12, "udp:127.0.0.1:161", 4, 2)}));
  const std::string good = dir.Write("good.map", "# known from the manual\n12 phase_voltage volts phase=L1\n");
  const std::string bad = dir.Write("bad.map", "12 phase_voltage volts phase=L1\n1500 x\n13 phase_voltage volts\n");
  struct Case {
    std::string map;
    int exit_code;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {good, 0, {"configuration " + config + ": no problem found", "column map " + good + ": no problem found"}},
      {bad, 1, {"configuration " + config + ": no problem found", bad + ":2: column 1500 is not in 1-1397",
                bad + ":3: metric phase_voltage_volts is labelled {phase} on line 1, here {}"}},
      {dir.path() + "/absent.map", 1,
       {"configuration " + config + ": no problem found",
        "cannot read column map " + dir.path() + "/absent.map: No such file or directory"}},
  };
  for (const Case& each : cases) {
    const ProcessResult result = RunProcess({ZRMHOST_PATH, "check", "--config", config, "--column-map", each.map});
    EXPECT_EQ(result.exit_code, each.exit_code) << each.map;
    EXPECT_EQ(Lines(result.out), each.lines) << each.map;
    EXPECT_EQ(result.err, "") << each.map;
  }
}

}  // namespace
