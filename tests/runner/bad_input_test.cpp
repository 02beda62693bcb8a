// Bad command lines, plug-ins, configurations and history files: each gets a clear message and a
// non-zero exit, never a crash, and nothing on standard output.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bad_input.h"
#include "event_log.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

const std::string kRunner = ZRMHOST_PATH;
const std::string kGoodDevice = DeviceText(12, "fake:10", 4, 2);

std::string Expand(std::string arg, const std::string& dir) {
  const std::pair<std::string, std::string> names[] = {
      {"{dir}", dir}, {"{plugin}", FAKE_PLUGIN_PATH}, {"{library}", NOT_A_PLUGIN_PATH}};
  for (const auto& [name, value] : names) {
    for (auto at = arg.find(name); at != std::string::npos; at = arg.find(name)) {
      arg.replace(at, name.size(), value);
    }
  }
  return arg;
}

TEST_P(BadInputTest, IsReportedWithoutCrashing) {
  const BadInput& input = GetParam();
  ScratchDir dir;
  for (const auto& [name, text] : input.files) dir.Write(name, text);
  if (input.prepare) input.prepare(dir.path());
  std::vector<std::string> argv = {kRunner};
  for (const std::string& arg : input.args) argv.push_back(Expand(arg, dir.path()));

  const ProcessResult result = RunProcess(argv);
  EXPECT_EQ(result.term_signal, 0);
  EXPECT_EQ(result.exit_code, input.exit_code) << result.err;
  EXPECT_NE(result.err.find(Expand(input.message, dir.path())), std::string::npos) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.find(kSecret), std::string::npos) << result.err;
}

const std::vector<std::string> kRun = RunArgs();

// A good configuration and {dir}/web.yml with the text, for run --metrics ... --web-config.
std::vector<std::pair<std::string, std::string>> WithWebConfig(const std::string& text) {
  auto files = ConfigOf({kGoodDevice});
  files.emplace_back("web.yml", text);
  return files;
}
const std::vector<std::string> kRunGuarded = RunArgs({"--metrics", "127.0.0.1:0", "--web-config", "{dir}/web.yml"});

INSTANTIATE_TEST_SUITE_P(
    Runner, BadInputTest,
    ::testing::Values(
        BadInput{"PluginMissing", ConfigOf({kGoodDevice}),
                 {"run", "--plugin", "{dir}/absent.so", "--config", "{dir}/config.json"}, 1,
                 "zrmhost: cannot load plug-in {dir}/absent.so: {dir}/absent.so: cannot open shared "
                 "object file: No such file or directory"},
        BadInput{"PluginNotALibrary", ConfigOf({kGoodDevice}),
                 {"run", "--plugin", "{dir}/config.json", "--config", "{dir}/config.json"}, 1,
                 "invalid ELF header"},
        BadInput{"LibraryWithoutProviders", ConfigOf({kGoodDevice}),
                 {"run", "--plugin", "{library}", "--config", "{dir}/config.json"}, 1,
                 "zrmhost: {library} is not a device plug-in: it has no get_providers"},
        BadInput{"ConfigMissing", {}, kRun, 1, "cannot read configuration {dir}/config.json"},
        BadInput{"ConfigNotJson", {{"config.json", "{\"devices\": [\n  {\"id\" 12}]}"}}, kRun, 1,
                 "configuration {dir}/config.json is not valid JSON: line 2, column 9: "},
        BadInput{"ConfigWithoutDevices", {{"config.json", "{\"device\": [{}]}"}}, kRun, 1,
                 "has no \"devices\" list"},
        BadInput{"ConfigWithEmptyDevices", {{"config.json", "{\"devices\": []}"}}, kRun, 1,
                 "configuration {dir}/config.json has an empty \"devices\" list: there is nothing to run"},
        BadInput{"DeviceWithMistypedKey",
                 ConfigOf({R"({"id": 12, "agent": "fake:10", "address": 4, "appsetting": {"b_mode": "2"}})"}),
                 kRun, 1,
                 "configuration {dir}/config.json: devices[0] (id 12) has a key \"appsetting\" that neither "
                 "the runner nor the device reads; did you mean appSetting?"},
        BadInput{"DeviceWithoutId", ConfigOf({kGoodDevice, "{\"agent\": \"fake:10\", \"address\": 4}"}),
                 kRun, 1, "configuration {dir}/config.json: devices[1] has no \"id\""},
        BadInput{"IdBeyondInt64", ConfigOf({"{\"id\": 10000000013273108977, \"agent\": \"fake:10\", \"address\": 4}"}),
                 kRun, 1, "devices[0] has an \"id\" that is not a whole number in 0-4294967295"},
        BadInput{"AddressBeyondInt64", ConfigOf({"{\"id\": 12, \"agent\": \"fake:10\", \"address\": 18446744073709551615}"}),
                 kRun, 1, "devices[0] (id 12) has an \"address\" that is not a whole number in 0-255"},
        BadInput{"DeviceWithoutAddress", ConfigOf({"{\"id\": 12, \"agent\": \"fake:10\"}"}), kRun, 1,
                 "devices[0] (id 12) has no \"address\""},
        BadInput{"AddressOutOfRange", ConfigOf({DeviceText(12, "fake:10", 256, 2)}), kRun, 1,
                 "devices[0] (id 12) has an \"address\" that is not a whole number in 0-255"},
        BadInput{"DeviceWithoutAgent", ConfigOf({DeviceText(12, "", 4, 2)}), kRun, 1,
                 "devices[0] (id 12) has no \"agent\""},
        BadInput{"DuplicateIds", ConfigOf({kGoodDevice, DeviceText(12, "fake:10", 5, 2)}), kRun, 1,
                 "devices[1] repeats id 12"},
        BadInput{"ReplayWithoutHistory", ConfigOf({kGoodDevice}),
                 {"replay", "--plugin", "{plugin}", "--config", "{dir}/config.json", "--history",
                  "{dir}/none"},
                 1, "cannot read history file {dir}/none/device-12.history: No such file or directory"},
        BadInput{"DumpMissingFile", {}, {"dump", "{dir}/device-1.history"}, 1,
                 "cannot read history file {dir}/device-1.history"},
        // A bad column map stops run before the plug-in is loaded (it does not exist here) and
        // dump before the history file is read (nor does it); every bad line is named.
        BadInput{"RunWithBadColumnMap",
                 {ConfigOf({kGoodDevice})[0], {"columns.map", "# phases\n12 phase_voltage volts\n1500 x\n"}},
                 {"run", "--plugin", "{dir}/absent.so", "--config", "{dir}/config.json", "--metrics", "127.0.0.1:0",
                  "--column-map", "{dir}/columns.map"},
                 1, "zrmhost: {dir}/columns.map:3: column 1500 is not in 1-1397\n"},
        BadInput{"RunWithColumnMapMissing", ConfigOf({kGoodDevice}),
                 {"run", "--plugin", "{dir}/absent.so", "--config", "{dir}/config.json", "--metrics", "127.0.0.1:0",
                  "--column-map", "{dir}/absent.map"},
                 1, "zrmhost: cannot read column map {dir}/absent.map: No such file or directory\n"},
        BadInput{"DumpWithBadColumnMap", {{"columns.map", "12 v phase=L1\n13 v\n"}},
                 {"dump", "{dir}/absent.history", "--csv", "--column-map", "{dir}/columns.map"}, 1,
                 "zrmhost: {dir}/columns.map:2: metric v is labelled {phase} on line 1, here {}\n"},
        BadInput{"ColumnMapWithoutMetrics", {}, RunArgs({"--column-map", "columns.map"}), 2,
                 "zrmhost: run: --column-map requires --metrics"},
        BadInput{"ColumnMapWithoutCsv", {}, {"dump", "f.history", "--column-map", "columns.map"}, 2,
                 "zrmhost: dump: --column-map requires --csv"},
        BadInput{"NoCommand", {}, {}, 2, "zrmhost: A subcommand is required"},
        BadInput{"UnknownCommand", {}, {"walk"}, 2, "zrmhost: unknown command \"walk\""},
        BadInput{"RunWithoutPlugin", {}, {"run", "--config", "x.json"}, 2,
                 "zrmhost: run: --plugin is required"},
        BadInput{"ReplayWithoutHistoryOption", {}, {"replay", "--plugin", "p.so", "--config", "x.json"},
                 2, "zrmhost: replay: --history is required"},
        BadInput{"ZeroRounds", {}, RunArgs({"--rounds", "0"}), 2,
                 "zrmhost: run: --rounds: wants a whole number of at least 1, not \"0\""},
        BadInput{"TimeoutNotANumber", {}, RunArgs({"--timeout=soon"}), 2,
                 "zrmhost: run: --timeout: wants a number of seconds above 0, not \"soon\""},
        BadInput{"SwitchWithValue", {}, RunArgs({"--json=yes"}), 2, "zrmhost: run: json was given a disallowed flag override"},
        BadInput{"MetricsWithoutPort", {}, RunArgs({"--metrics", "127.0.0.1"}), 2,
                 "zrmhost: run: --metrics: wants HOST:PORT (such as 127.0.0.1:9116 or [::1]:9116), not \"127.0.0.1\""},
        BadInput{"MetricsOnAHostName", {}, RunArgs({"--metrics", "example.com:9116"}), 2,
                 "zrmhost: run: --metrics: wants an IP address or localhost as HOST, not \"example.com\""},
        BadInput{"MetricsPortTooHigh", {}, RunArgs({"--metrics", "[::1]:65536"}), 2,
                 "zrmhost: run: --metrics: wants a PORT from 0 to 65535, not \"65536\""},
        BadInput{"MetricsOnAnAddressNotOurs", ConfigOf({kGoodDevice}), RunArgs({"--metrics", "192.0.2.1:9116"}), 1,
                 "zrmhost: cannot serve metrics on 192.0.2.1:9116: "},
        BadInput{"WebConfigWithoutMetrics", WithWebConfig(""), RunArgs({"--web-config", "{dir}/web.yml"}), 2,
                 "zrmhost: run: --web-config requires --metrics"},
        BadInput{"WebConfigMissing", ConfigOf({kGoodDevice}), kRunGuarded, 1,
                 "zrmhost: web configuration {dir}/web.yml: cannot be read: No such file or directory"},
        BadInput{"WebConfigWithAnUnknownKey",
                 WithWebConfig("tls_server_config:\n  cert_file: c.pem\n  key_file: k.pem\n  min_version: TLS13\n"),
                 kRunGuarded, 1,
                 "zrmhost: web configuration {dir}/web.yml: tls_server_config.min_version: not a key zrmhost reads"},
        BadInput{"WebConfigWithAnUnreadableCertificate",
                 WithWebConfig("tls_server_config:\n  cert_file: c.pem\n  key_file: k.pem\n"), kRunGuarded, 1,
                 "zrmhost: web configuration {dir}/web.yml: tls_server_config.cert_file: cannot read {dir}/c.pem"},
        BadInput{"WebConfigWithABadHash", WithWebConfig("basic_auth_users:\n  alice: " + kSecret + "\n"), kRunGuarded,
                 1, "zrmhost: web configuration {dir}/web.yml: basic_auth_users.alice: not a bcrypt hash"},
        BadInput{"CheckWithoutConfig", {}, {"check"}, 2, "zrmhost: check: --config is required"},
        BadInput{"OptionOfAnotherCommand", {}, {"dump", "f.history", "--rounds", "1"}, 2,
                 "zrmhost: dump: The following arguments were not expected: 1 --rounds"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RunnerHelp, PrintsUsageOfEveryCommand) {
  const ProcessResult result = RunProcess({kRunner, "--help"});
  EXPECT_EQ(result.exit_code, 0);
  for (const char* usage :
       {"zrmhost run --plugin PATH --config FILE [--json] [--rounds N] [--timeout S] [--history DIR]",
        "zrmhost replay --plugin PATH --config FILE --history DIR [--json]",
        "zrmhost dump FILE [--csv]", "zrmhost check --config FILE"}) {
    EXPECT_NE(result.out.find(usage), std::string::npos) << usage;
  }
}

TEST(RunnerHelp, VersionIsTheProjectsAndNeedsNoCommand) {
  const ProcessResult result = RunProcess({kRunner, "--version"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.out, "zrmhost " QIRAOID_VERSION "\n");
  EXPECT_EQ(result.err, "");
}

TEST(RunnerHelp, CommandHelpListsItsOptions) {
  const ProcessResult result = RunProcess({kRunner, "run", "--help"});
  EXPECT_EQ(result.exit_code, 0);
  for (const char* option : {"--plugin PATH", "--config FILE", "--json", "--rounds N", "--timeout S",
                             "--history DIR", "--metrics HOST:PORT"}) {
    EXPECT_NE(result.out.find(option), std::string::npos) << option << "\n" << result.out;
  }
}

}  // namespace

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

std::vector<std::string> RunArgs(std::vector<std::string> extra) {
  std::vector<std::string> args = {"run", "--plugin", "{plugin}", "--config", "{dir}/config.json"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

std::vector<std::pair<std::string, std::string>> ConfigOf(const std::vector<std::string>& devices) {
  return {{"config.json", ConfigText(devices)}};
}
