// The metrics page as text: each family told once, samples only for what is known, numbers in the
// syntax Prometheus reads, label values escaped.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "label_value.h"
#include "metrics_page.h"

namespace qiraoid {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> LinesStarting(const std::string& page, const std::string& start) {
  std::vector<std::string> lines;
  std::istringstream in(page);
  for (std::string line; std::getline(in, line);) {
    if (line.compare(0, start.size(), start) == 0) lines.push_back(line);
  }
  return lines;
}

RunnerMetrics Runner() {
  ProcessFigures process;
  process.cpu_seconds = 1.25;
  process.virtual_bytes = 123456789012;
  process.resident_bytes = 8192;
  process.start_time_seconds = 1796899000.5;
  process.open_fds = 17;
  process.max_fds = 1024;
  return {"1.0.0", process};
}

DeviceMetrics Walked(uint32_t id) {
  DeviceMetrics device;
  device.id = id;
  device.rounds = 3;
  device.last_round_seconds = 1796900000.5;
  device.values[0] = 230.5f;
  device.values[1] = std::numeric_limits<float>::quiet_NaN();
  device.values[2] = -std::numeric_limits<float>::infinity();
  device.values[3] = 0.1f;
  device.signals = {{82, "120830170820", "市电\"A\"路断电", true}};
  DriverFigures figures;
  figures.passes = 4;
  figures.totals.requests = 56;
  figures.last_pass.seconds = 0.25;
  figures.agent = AgentState::kFailing;
  figures.cause = "a \"quoted\" cause\\with a\nbreak";
  device.figures = figures;
  return device;
}

TEST(MetricsPage, SamplesNumbersAndEscapes) {
  const std::string page = MetricsPage({Walked(12)}, Runner());
  for (const char* line : {
           "qiraoid_cabinet_value{device=\"12\",column=\"1\"} 230.5\n",
           "qiraoid_cabinet_value{device=\"12\",column=\"2\"} NaN\n",
           "qiraoid_cabinet_value{device=\"12\",column=\"3\"} -Inf\n",
           "qiraoid_cabinet_value{device=\"12\",column=\"4\"} 0.1\n",
           "qiraoid_cabinet_value{device=\"12\",column=\"1397\"} 0\n",
           "qiraoid_alarm_active{device=\"12\",signal=\"82\",id=\"120830170820\",name=\"市电\\\"A\\\"路断电\"} 1\n",
           "qiraoid_rounds_total{device=\"12\"} 3\n",
           "qiraoid_last_round_timestamp_seconds{device=\"12\"} 1796900000.5\n",
           "qiraoid_passes_total{device=\"12\"} 4\n",
           "qiraoid_requests_total{device=\"12\"} 56\n",
           "qiraoid_last_pass_duration_seconds{device=\"12\"} 0.25\n",
           "qiraoid_agent_answering{device=\"12\"} 0\n",
           "qiraoid_agent_failing{device=\"12\",cause=\"a \\\"quoted\\\" cause\\\\with a\\nbreak\"} 1\n",
           "qiraoid_build_info{version=\"1.0.0\"} 1\n",
           "process_cpu_seconds_total 1.25\n",
           "process_open_fds 17\n",
           "process_max_fds 1024\n",
           "process_virtual_memory_bytes 123456789012\n",
           "process_resident_memory_bytes 8192\n",
           "process_start_time_seconds 1796899000.5\n",
       }) {
    EXPECT_THAT(page, HasSubstr(line));
  }
}

TEST(MetricsPage, EachFamilyToldOnceAndOnlyKnownSamples) {
  DeviceMetrics fresh;  // no round yet, no figures: a plug-in without them
  fresh.id = 13;
  const std::string page = MetricsPage({Walked(12), fresh}, {"1.0.0", std::nullopt});  // no process figures
  // Every family is told once whatever the devices: the same HELP lines as a page of none, each once.
  // Which families there are is README.md's table's (readme_metrics_test.cpp).
  EXPECT_THAT(LinesStarting(page, "# HELP "), ElementsAreArray(LinesStarting(MetricsPage({}, Runner()), "# HELP ")));
  std::vector<std::string> helps = LinesStarting(page, "# HELP ");
  EXPECT_EQ(std::set<std::string>(helps.begin(), helps.end()).size(), helps.size());
  EXPECT_THAT(page, HasSubstr("# TYPE qiraoid_rounds_total counter\n"));
  EXPECT_THAT(page, HasSubstr("# TYPE qiraoid_cabinet_value gauge\n"));
  EXPECT_THAT(page, HasSubstr("qiraoid_rounds_total{device=\"13\"} 0\n"));
  EXPECT_THAT(page, HasSubstr("qiraoid_build_info{version=\"1.0.0\"} 1\n"));
  EXPECT_THAT(LinesStarting(page, "process_"), ::testing::IsEmpty());
  for (const char* absent : {"qiraoid_cabinet_value{device=\"13\"", "qiraoid_alarm_active{device=\"13\"",
                             "qiraoid_last_round_timestamp_seconds{device=\"13\"",
                             "qiraoid_passes_total{device=\"13\"", "qiraoid_agent_answering{device=\"13\""}) {
    EXPECT_THAT(page, Not(HasSubstr(absent)));
  }
}

ColumnMap Map(const char* text) {
  const ColumnMapReading reading = ReadColumnMap("columns.map", text, IsPageFamily);
  EXPECT_THAT(reading.problems, ::testing::IsEmpty());
  return reading.map;
}

// The mapped families come after the devices' own and before the runner's, each with its head; a
// device without a round has no sample in them.
const char kMappedFamilies[] =
    "# HELP phase_voltage_volts Cabinet columns 1, 2 as the column map names them (volts).\n"
    "# TYPE phase_voltage_volts gauge\n"
    "phase_voltage_volts{device=\"12\",phase=\"L1\",feed=\"A\"} 230.5\n"
    "phase_voltage_volts{device=\"12\",phase=\"L\\\"2\\\\\",feed=\"A\"} NaN\n"
    "# HELP load_ratio Cabinet column 4 as the column map names it (ratio).\n"
    "# TYPE load_ratio gauge\n"
    "load_ratio{device=\"12\"} 0.1\n"
    "# HELP cabinet_flag Cabinet column 1397 as the column map names it.\n"
    "# TYPE cabinet_flag gauge\n"
    "cabinet_flag{device=\"12\"} 0\n";

TEST(MetricsPage, ColumnMapAddsItsFamiliesAndChangesNothingElse) {
  DeviceMetrics fresh;
  fresh.id = 13;
  const std::vector<DeviceMetrics> devices = {Walked(12), fresh};
  const std::string plain = MetricsPage(devices, Runner());
  EXPECT_EQ(MetricsPage(devices, Runner(), ColumnMap{}), plain);

  std::string page = MetricsPage(devices, Runner(), Map("1 phase_voltage volts phase=L1 feed=A\n"
                                                         "2 phase_voltage volts phase=\"L\\\"2\\\\\" feed=A\n"
                                                         "4 load_ratio ratio\n"
                                                         "1397 cabinet_flag\n"));
  const auto mapped = page.find(kMappedFamilies);
  ASSERT_NE(mapped, std::string::npos) << page.substr(page.find("# HELP qiraoid_agent_failing"));
  const std::string runner_head = "# HELP qiraoid_build_info ";
  EXPECT_EQ(page.compare(mapped + sizeof kMappedFamilies - 1, runner_head.size(), runner_head), 0);
  // Every other line as it was, qiraoid_cabinet_value's columns 1, 2 and 4 among them.
  EXPECT_EQ(page.erase(mapped, sizeof kMappedFamilies - 1), plain);
}

// promtool, where Debian's prometheus package is installed, finds nothing to say about a page with
// mapped families.
TEST(MetricsPage, PromtoolFindsNothingToSayWithAColumnMap) {
  if (::access("/usr/bin/promtool", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/promtool";
  char path[] = "/tmp/metrics_page_XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::ofstream(path) << MetricsPage({Walked(12)}, Runner(),
                                     Map("1 phase_voltage volts phase=L1 feed=A\n2 phase_voltage volts phase=L2 feed=A\n"
                                         "3 feed_current amperes\n5 humidity percent site=\"room \\\"2\\\"\"\n"));
  const std::string said = std::string(path) + ".said";
  const int status = std::system(("/usr/bin/promtool check metrics < " + std::string(path) + " > " + said + " 2>&1").c_str());
  std::ifstream in(said);
  const std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(path);
  std::remove(said.c_str());
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output, "");
}

TEST(MetricsPage, LabelValueEscapesOnlyWhatTheFormatAsks) {
  EXPECT_EQ(LabelValue("plain text: ä, tab\t"), "plain text: ä, tab\t");
  EXPECT_EQ(LabelValue("\\\"\n"), "\\\\\\\"\\n");
}

}  // namespace
}  // namespace qiraoid
