// The one list of known settings: the nearest known key for a slip, the unknown-key lines a device
// logs (only when there is an unknown key), the problems a check finds without polling, and one
// verdict per value from the table, the device and the check.
#include <algorithm>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "nearest_key.h"
#include "net_snmp_library.h"
#include "qiraoid_probe.h"
#include "settings_check.h"
#include "test_device.h"

namespace qiraoid {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

TEST(NearestKey, SlipsFindTheirKeyAndOtherWordsNone) {
  const std::vector<std::string> keys = AppSettingKeys();
  const struct {
    std::string typed;
    std::optional<std::string> meant;
  } rows[] = {
      {"max_repetition", "max_repetitions"},  // a letter missing
      {"comunity", "community"},
      {"B_MODE", "b_mode"},                     // case alone
      {"retires", "retries"},                   // two letters swapped
      {"auth_pasphrase", "auth_passphrase"},
      {"timeout", std::nullopt},                // too far from timeout_seconds
      {"colour", std::nullopt},
      {"", std::nullopt},
      {std::string(200, 'a'), std::nullopt},
  };
  for (const auto& row : rows) EXPECT_EQ(NearestKey(row.typed, keys), row.meant) << row.typed;
  EXPECT_EQ(NearestKey("appsetting", kDeviceKeys), "appSetting");
}

TEST(KnownSettings, EveryKeyHasARuleAndRetransmissionIsKnown) {
  for (const KnownSetting& setting : AppSettings()) {
    EXPECT_NE(std::string(setting.needs), "") << setting.key;
    EXPECT_EQ(FindAppSetting(setting.key), &setting);
  }
  ASSERT_NE(FindAppSetting("retransmission"), nullptr);
  EXPECT_TRUE(FindAppSetting("retransmission")->usable(Json::Value("adaptive")));
  EXPECT_FALSE(FindAppSetting("retransmission")->usable(Json::Value("eager")));
  EXPECT_EQ(FindAppSetting("appSetting"), nullptr);
}

std::string InitSettingLog(const std::string& config) {
  QiraoidProbe device;  // no agent: the thread only logs its passes
  InitHostSide(device, 12);
  testing::internal::CaptureStdout();
  device.InitSetting(ParseJson(config));
  std::string log = testing::internal::GetCapturedStdout();
  return log.substr(0, log.find("SNMP_QIRAOID::do_sample"));
}

// The keys of the first table headed "| Key | Values" in a README, in its order.
std::vector<std::string> KeyTable(const char* path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::vector<std::string> keys;
  const std::regex row(R"(\| `(\w+)` \|.*)");
  bool in_table = false;
  std::smatch match;
  for (std::string line; std::getline(in, line);) {
    if (!in_table) {
      in_table = line.rfind("| Key | Values", 0) == 0;
    } else if (std::regex_match(line, match, row)) {
      keys.push_back(match[1]);
    } else if (line.empty() || line[0] != '|') {
      break;
    }
  }
  return keys;
}

// The project's README and the one the package ships each list every appSetting key but b_mode
// (which they describe apart), and nothing else, so neither can fall behind the device.
TEST(KnownSettings, BothReadmesTableEveryKeyTheDeviceReads) {
  std::vector<std::string> keys = AppSettingKeys();
  keys.erase(std::remove(keys.begin(), keys.end(), "b_mode"), keys.end());
  for (const char* readme : {README_PATH, PLUGIN_README_PATH}) {
    EXPECT_THAT(KeyTable(readme), UnorderedElementsAreArray(keys)) << readme;
  }
}

TEST(UnknownAppSettingKeys, OneLinePerUnknownKeyWithTheNearestWhenClose) {
  EXPECT_EQ(InitSettingLog(R"({"appSetting":{"b_mode":"2","max_repetition":10,"colour":"red"}})"),
            "device 12: appSetting key \"colour\" is not one the device reads\n"
            "device 12: appSetting key \"max_repetition\" is not one the device reads; did you mean "
            "max_repetitions?\n"
            "InitSetting 12 b_mode_:2\n");
  // A key holding a line break cannot forge a line of its own.
  EXPECT_EQ(InitSettingLog("{\"appSetting\":{\"x\\ndevice 12: fine\":1}}"),
            "device 12: appSetting key \"x\\ndevice 12: fine\" is not one the device reads\n");
}

TEST(UnknownAppSettingKeys, KnownKeysOnlyLogAsBefore) {
  for (const char* config :
       {R"({"appSetting":{"b_mode":"2"}})", R"({"appsetting":{"b_mode":"2"}})", R"({"appSetting":"2"})",
        R"({"appSetting":{"b_mode":"3","retransmission":"fixed","retries":2}})"}) {
    EXPECT_THAT(InitSettingLog(config), Not(HasSubstr("is not one the device reads"))) << config;
  }
}

std::vector<std::string> Problems(const std::string& device) {
  EnsureNetSnmpReady();
  return DeviceSettingProblems(ParseJson(device));
}

// Each key's values, each set among other members that the key's reading needs, so that the value
// alone decides: the table of known keys, the device reading its settings and the check must give
// one verdict, and a refusal must say what the table says the key needs.
TEST(SettingRules, TheTableTheDeviceAndTheCheckGiveOneVerdict) {
  const std::string v3 = R"("snmp_version":"3","security_name":"alice",)";
  const std::string auth = v3 + R"("security_level":"authNoPriv",)";
  const std::string priv = v3 + R"("security_level":"authPriv","auth_protocol":"SHA","auth_passphrase":"auth-pass",)";
  const struct {
    const char* key;
    std::string others;
    std::vector<std::string> taken, refused;  // values as JSON text
  } rows[] = {
      {"max_repetitions", "", {"1", "100", R"("50")"}, {"0", "101", R"("ten")", R"("+5")", "5.5", "{}"}},
      {"retransmission", "", {R"("fixed")", R"("adaptive")"}, {R"("Adaptive")", "1", "[]", "null"}},
      {"community", "", {R"("public")", "5"}, {R"("")", R"("a\u0000b")", "1.5", "true", "{}"}},
      {"snmp_version", R"("security_name":"alice",)", {R"("2c")", R"("3")", "3"}, {R"("1")", R"("v3")", "2", "null"}},
      {"security_name", R"("snmp_version":"3",)", {R"("alice")", "7", '"' + std::string(32, 'u') + '"'},
       {R"("")", '"' + std::string(33, 'u') + '"', "[]"}},
      {"security_level", priv + R"("priv_protocol":"AES","priv_passphrase":"priv-pass",)",
       {R"("noAuthNoPriv")", R"("authNoPriv")", R"("authPriv")"}, {R"("AuthPriv")", "2", "{}"}},
      {"auth_protocol", auth + R"("auth_passphrase":"auth-pass",)", {R"("MD5")", R"("SHA")", R"("SHA-512")"},
       {R"("sha")", R"("SHA-1")", "1"}},
      {"auth_passphrase", auth + R"("auth_protocol":"SHA",)", {R"("12345678")", "12345678"},
       {R"("1234567")", "1234567", "{}"}},
      {"priv_protocol", priv + R"("priv_passphrase":"priv-pass",)", {R"("DES")", R"("AES-256")"},
       {R"("AES128")", R"("aes")"}},
      {"priv_passphrase", priv + R"("priv_protocol":"AES",)", {R"("priv-pass")"}, {R"("short")", "[]"}},
      {"context_name", v3, {R"("")", R"("ctx")", "0"}, {"false", "[]"}},
      {"timeout_seconds", "", {"0.001", "600", R"("2.5")", "10"}, {"0.0009", "600.5", R"("5s")", R"("-1")", "-1",
                                                                    R"(".5")", "true"}},
      {"retries", "", {"0", "10", R"("3")"}, {"-1", "11", R"("+1")", "1.5", R"("")"}},
  };
  EnsureNetSnmpReady();
  for (const auto& row : rows) {
    const KnownSetting* setting = FindAppSetting(row.key);
    ASSERT_NE(setting, nullptr) << row.key;
    const std::string refusal = std::string("appSetting.") + row.key + " refused: needs " + setting->needs;
    for (const bool taken : {true, false}) {
      for (const std::string& value : taken ? row.taken : row.refused) {
        const std::string app = "{" + row.others + "\"" + row.key + "\":" + value + "}";
        SCOPED_TRACE(app);
        EXPECT_EQ(setting->usable(ParseJson(value)), taken);
        const std::string log = InitSettingLog(R"({"appSetting":)" + app + "}");
        EXPECT_EQ(log.find(std::string(" refused (") + setting->needs + ")") != std::string::npos, !taken) << log;
        EXPECT_EQ(log.find(std::string(row.key) + " ") != std::string::npos, !taken) << log;
        const std::vector<std::string> problems = Problems(R"({"appSetting":)" + app + "}");
        if (taken) {
          EXPECT_THAT(problems, IsEmpty());
        } else {
          EXPECT_THAT(problems, ElementsAre(refusal));
        }
      }
    }
  }
}

TEST(DeviceSettingProblems, EveryProblemNamedWithoutItsValue) {
  EXPECT_THAT(Problems(R"({"appSetting":{"b_mode":"2","max_repetitions":"100"}})"), IsEmpty());
  EXPECT_THAT(Problems(R"({"appSetting":{"b_mode":"2abc","max_repetition":5,"comunity":"secret-x",
                                         "retries":99,"auth_passphrase":"short-pw"}})"),
              ElementsAre("appSetting key \"comunity\" is not one the device reads; did you mean community?",
                          "appSetting key \"max_repetition\" is not one the device reads; did you mean "
                          "max_repetitions?",
                          "appSetting.b_mode refused: needs a whole number: 2 reports the alarm signals, 3 "
                          "reads thresholdSetting",
                          "appSetting.retries refused: needs a whole number from 0 to 10"));
  EXPECT_THAT(Problems(R"({"appSetting":{"snmp_version":"3","security_name":"alice","security_level":"authPriv",
                                         "auth_protocol":"SHA","auth_passphrase":"secret-pw-1"}})"),
              ElementsAre("appSetting.priv_protocol refused: needs DES, AES, AES-192 or AES-256"));
  EXPECT_THAT(Problems(R"({"appSetting":{"auth_passphrase":"short"}})"),
              ElementsAre("appSetting.auth_passphrase refused: needs a passphrase of at least 8 characters"));
  EXPECT_THAT(Problems(R"({"appSetting":[1]})"), ElementsAre("appSetting is not an object, so the device keeps mode 1"));
}

TEST(DeviceSettingProblems, ThresholdEntriesOnlyInModeThree) {
  const std::string thresholds = R"("thresholdSetting":{"k1":{"ID":{}},"k2":5})";
  EXPECT_THAT(Problems(R"({"appSetting":{"b_mode":"2"},)" + thresholds + "}"), IsEmpty());
  EXPECT_THAT(Problems(R"({"appSetting":{"b_mode":"3"},)" + thresholds + "}"),
              ElementsAre("thresholdSetting[\"k1\"].ID is not text or a number",
                          "thresholdSetting[\"k2\"] is not an object, so the device skips it"));
  EXPECT_THAT(Problems(R"({"appSetting":{"b_mode":3},"thresholdSetting":[]})"),
              ElementsAre("thresholdSetting is not an object of named entries"));
}

}  // namespace
}  // namespace qiraoid
