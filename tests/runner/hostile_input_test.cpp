// Hostile input for zrmhost: configuration files that are not files, too big, not one JSON
// document or listing too many devices; agent addresses that are not addresses; settings a device
// cannot read; history files whose records are not history records. Each is refused with a
// message naming the file, the device or the key, and exit status 1.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "bad_input.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

const std::string kRunner = ZRMHOST_PATH;

std::string Device(const std::string& agent, const std::string& settings = "{\"b_mode\": \"2\"}",
                   const std::string& more = "") {
  return "{\"id\": 12, \"agent\": \"" + agent + "\", \"address\": 4, \"appSetting\": " + settings + more + "}";
}

std::string WithSecret(const std::string& mode) {
  return "{\"b_mode\": " + mode + ", \"community\": \"" + kSecret + "\"}";
}

std::string AgentRefused(const std::string& why) {
  return "configuration {dir}/config.json: devices[0] (id 12) has an \"agent\" that is not a usable "
         "SNMP address ([udp:|tcp:|udp6:|tcp6:]host[:port]): " + why;
}

// Refused before any device starts, with zrmhost check's line.
std::string SettingRefused(const std::string& problem) {
  return "zrmhost: configuration {dir}/config.json: devices[0] (id 12): " + problem + "\n";
}

const std::string kBModeRefused =
    "appSetting.b_mode refused: needs a whole number: 2 reports the alarm signals, 3 reads thresholdSetting";

std::string ManyDevices(int count, bool whole) {
  std::vector<std::string> devices;
  for (int id = 1; id <= count; ++id) devices.push_back(whole ? DeviceText(id, "fake:10", 4, 2) : "{}");
  return ConfigText(devices);
}

struct Time {
  uint16_t year = 2026;
  uint8_t month = 12, day = 10, hour = 5, minute = 12, second = 24;
};

// A record as the device stores it: id, 1397 little-endian floats, then the time stamp.
std::string Record(Time time) {
  std::string bytes(5599, '\0');
  const uint32_t id = 12;
  std::memcpy(bytes.data(), &id, sizeof id);
  const uint8_t stamp[7] = {static_cast<uint8_t>(time.year & 0xff), static_cast<uint8_t>(time.year >> 8),
                            time.month, time.day, time.hour, time.minute, time.second};
  std::memcpy(bytes.data() + 5592, stamp, sizeof stamp);
  return bytes;
}

void WriteBigConfig(const std::string& dir) {
  std::ofstream(dir + "/config.json") << std::string(16 * 1024 * 1024 + 1, ' ');
}

void MakeFifo(const std::string& dir) { ASSERT_EQ(::mkfifo((dir + "/config.json").c_str(), 0600), 0); }

const std::string kGood = Device("fake:10");
const std::vector<std::string> kReplay = {"replay", "--plugin", "{plugin}", "--config",
                                          "{dir}/config.json", "--history", "{dir}"};
const std::string kHistory = "device-12.history";

INSTANTIATE_TEST_SUITE_P(
    Hostile, BadInputTest,
    ::testing::Values(
        BadInput{"ConfigIsADirectory", {}, {"run", "--plugin", "{plugin}", "--config", "{dir}"}, 1,
                 "zrmhost: cannot read configuration {dir}: it is a directory"},
        BadInput{"ConfigIsAFifo", {}, RunArgs(), 1,
                 "zrmhost: cannot read configuration {dir}/config.json: it is a FIFO", MakeFifo},
        BadInput{"ConfigIsADevice", {}, {"run", "--plugin", "{plugin}", "--config", "/dev/zero"}, 1,
                 "zrmhost: cannot read configuration /dev/zero: it is a character device"},
        BadInput{"ConfigAbove16MB", {}, RunArgs(), 1,
                 "cannot read configuration {dir}/config.json: it is 16777217 bytes, above the 16 MB limit",
                 WriteBigConfig},
        BadInput{"NulAndGarbageAfterTheDocument",
                 {{"config.json", ConfigText({kGood}) + std::string(1, '\0') + "garbage"}}, RunArgs(), 1,
                 "configuration {dir}/config.json is not valid JSON: it holds a NUL byte at offset " +
                     std::to_string(ConfigText({kGood}).size())},
        BadInput{"TextAfterTheDocument", {{"config.json", ConfigText({kGood}) + "{}"}}, RunArgs(), 1,
                 "configuration {dir}/config.json is not valid JSON: line 4, column 1: Extra "
                 "non-whitespace after JSON value."},
        BadInput{"DeepNesting", {{"config.json", std::string(100000, '[')}}, RunArgs(), 1,
                 "configuration {dir}/config.json is not valid JSON: Exceeded stackLimit"},
        BadInput{"OneDeviceTooMany", {{"config.json", ManyDevices(1025, true)}}, RunArgs(), 1,
                 "configuration {dir}/config.json lists 1025 devices; the runner runs at most 1024"},
        BadInput{"TwoHundredThousandDevices", {{"config.json", ManyDevices(200000, false)}}, RunArgs(), 1,
                 "configuration {dir}/config.json lists 200000 devices; the runner runs at most 1024"},
        BadInput{"OctetAbove255", ConfigOf({Device("udp:999.1.1.1:161")}), RunArgs(), 1,
                 AgentRefused("its IPv4 address has an octet 999 above 255")},
        BadInput{"ThreeOctets", ConfigOf({Device("udp:10.1.1:161")}), RunArgs(), 1,
                 AgentRefused("its IPv4 address does not have four octets")},
        BadInput{"PortAbove65535", ConfigOf({Device("fake:99999")}), RunArgs(), 1,
                 AgentRefused("its port 99999 is not in 1-65535")},
        BadInput{"PortZero", ConfigOf({Device("udp:192.0.2.1:0")}), RunArgs(), 1,
                 AgentRefused("its port 0 is not in 1-65535")},
        BadInput{"PortNotANumber", ConfigOf({Device("tcp:cabinet:snmp")}), RunArgs(), 1,
                 AgentRefused("its port is not a number in 1-65535")},
        BadInput{"AgentOf100KB", ConfigOf({Device(std::string(100 * 1024, 'a'))}), RunArgs(), 1,
                 AgentRefused("it is 102400 bytes long, above the limit of 255")},
        BadInput{"InvalidUtf8", ConfigOf({Device("fa\xff\xfeke:161")}), RunArgs(), 1,
                 AgentRefused("it is not valid UTF-8")},
        BadInput{"NulBeforeThePort", ConfigOf({Device("fake\\u0000:161")}), RunArgs(), 1,
                 AgentRefused("it holds a NUL byte")},
        BadInput{"ControlCharacter", ConfigOf({Device("fake\\n:161")}), RunArgs(), 1,
                 AgentRefused("it holds a control character")},
        BadInput{"NoHost", ConfigOf({Device("udp::161")}), RunArgs(), 1, AgentRefused("it names no host")},
        BadInput{"BracketsWithoutIpv6", ConfigOf({Device("udp6:[::g]:161")}), RunArgs(), 1,
                 AgentRefused("its bracketed host is not an IPv6 address")},
        BadInput{"HostNameWithSlash", ConfigOf({Device("unix/cabinet")}), RunArgs(), 1,
                 AgentRefused("its host name holds a character other than letters")},
        BadInput{"BModeObject", ConfigOf({Device("fake:10", WithSecret("{}"))}), RunArgs(), 1,
                 SettingRefused(kBModeRefused)},
        BadInput{"BModeArray", ConfigOf({Device("fake:10", WithSecret("[]"))}), RunArgs(), 1,
                 SettingRefused(kBModeRefused)},
        BadInput{"ThresholdEntryOfTheWrongType",
                 ConfigOf({Device("fake:10", WithSecret("\"3\""),
                                  ", \"thresholdSetting\": {\"cur1\": {\"SignalName\": [\"U1\"], \"ID\": \"1\"}}")}),
                 RunArgs(), 1, SettingRefused("thresholdSetting[\"cur1\"].SignalName is not text or a number")},
        BadInput{"DumpOfAMonth13Record", {{kHistory, Record({}) + Record({.month = 13})}},
                 {"dump", "{dir}/" + kHistory}, 1,
                 "zrmhost: {dir}/device-12.history is not a history file: record 2 (at byte 5599) has a "
                 "time stamp that is not a date and time: month 13 is not in 1-12"},
        BadInput{"DumpOfATextFile", {{kHistory, std::string(6000, 'x')}}, {"dump", "{dir}/" + kHistory}, 1,
                 "record 1 (at byte 0) has a time stamp that is not a date and time: month 120 is not in 1-12"},
        BadInput{"ReplayOfAnHour24Record",
                 {{"config.json", ConfigText({kGood})}, {kHistory, Record({.hour = 24})}}, kReplay, 1,
                 "record 1 (at byte 0) has a time stamp that is not a date and time: hour 24 is not in 0-23"},
        BadInput{"ReplayOfASecond60Record",
                 {{"config.json", ConfigText({kGood})}, {kHistory, Record({}) + Record({.second = 60})}},
                 kReplay, 1, "record 2 (at byte 5599) has a time stamp that is not a date and time: second 60"}),
    [](const auto& info) { return std::string(info.param.name); });

// Addresses Net-SNMP takes are taken: the run starts, and only the silent agent ends it.
class AcceptedAgentTest : public ::testing::TestWithParam<const char*> {};

TEST_P(AcceptedAgentTest, StartsTheDevice) {
  ScratchDir dir;
  const std::string config = dir.Write("config.json", ConfigText({Device(GetParam())}));
  const ProcessResult result = RunProcess(
      {kRunner, "run", "--plugin", FAKE_PLUGIN_PATH, "--config", config, "--rounds", "1", "--timeout", "0.05"});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("zrmhost: device 12 (agent " + std::string(GetParam()) +
                            ") completed no round within 0.05 s"),
            std::string::npos)
      << result.err;
}

INSTANTIATE_TEST_SUITE_P(Hostile, AcceptedAgentTest,
                         ::testing::Values("udp:192.0.2.10:161", "tcp:192.0.2.10", "UDP6:[2001:db8::1]:1161",
                                           "tcp6:[::1]", "cabinet-2.example.net:10161", "garbage",
                                           "10.0.0.3:65535"));

}  // namespace
