// zrmhost run --metrics with the real plug-in and the cabinet simulator: what the page shows, how
// the server answers each method, path and encoding, and that clients which stall or never read
// hold up neither the devices nor the next client.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "absent_agent.h"
#include "cabinet_agent.h"
#include "event_log.h"
#include "http_client.h"
#include "metrics_runner.h"
#include "scratch_dir.h"
#include "subprocess.h"

namespace {

std::string Device(int id, const std::string& agent, int address, const std::string& settings) {
  return "{\"id\": " + std::to_string(id) + ", \"agent\": \"" + agent + "\", \"address\": " +
         std::to_string(address) + ", \"appSetting\": {" + settings + "}}";
}

// Beside the live device 12: device 13's agent takes datagrams and never answers, nothing
// listens at device 14's.
class MetricsTest : public ::testing::Test {
 protected:
  MetricsTest() {
    agent_.SetColumns(4, {{1, "231.4"}, {324, "1"}});
    runner_ = std::make_unique<MetricsRunner>(std::vector<std::string>{
        Device(12, agent_.address(), 4, R"("b_mode": "2", "max_repetitions": 100)"),
        Device(13, silent_.address(), 5, R"("b_mode": "2", "timeout_seconds": 0.2, "retries": 1)"),
        Device(14, refusing_, 6, R"("b_mode": "2", "max_repetitions": 100)")});
  }

  CabinetAgent agent_;
  absent_agent::BlackHole silent_;
  const std::string refusing_ = absent_agent::LoopbackAddress(AF_INET, absent_agent::ClosedUdpPort());
  std::unique_ptr<MetricsRunner> runner_;
};

TEST_F(MetricsTest, PageShowsValuesAlarmsRoundsAndTheDriversFigures) {
  runner_->AwaitSample(R"x(qiraoid_agent_failing{device="13",cause="no answer within the time-out and its )x"
                       R"x(retries (or a wrong community)"})x");
  EXPECT_NE(runner_->AwaitSample(R"(qiraoid_agent_failing{device="14",cause="nothing listens at )" + refusing_ +
                                 R"(: port unreachable"})"),
            "");
  const std::string page = runner_->AwaitSample(R"(qiraoid_rounds_total{device="12"})", "1");
  ASSERT_NE(page, "");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_cabinet_value{device="12",column="1"})"), "231.4");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_cabinet_value{device="12",column="2"})"), "229.8");
  EXPECT_EQ(LinesStartingWith(page, R"(qiraoid_cabinet_value{device="12",)"), 1397u);
  EXPECT_EQ(LinesStartingWith(page, R"(qiraoid_cabinet_value{device="13",)"), 0u);
  EXPECT_EQ(SampleValue(page, R"(qiraoid_alarm_active{device="12",signal="82",id="120830170820",name="第一路防雷状态"})"), "1");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_alarm_active{device="12",signal="1",id="120830170010",name="第一路U1上上限"})"), "0");
  EXPECT_EQ(LinesStartingWith(page, R"(qiraoid_alarm_active{device="12",)"), 312u);
  EXPECT_NE(SampleValue(page, R"(qiraoid_last_round_timestamp_seconds{device="12"})"), "");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_passes_total{device="12"})"), "1");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_requests_total{device="12"})"), "14");  // 1397 columns, 100 a time
  EXPECT_EQ(SampleValue(page, R"(qiraoid_bulk_give_ups_total{device="12"})"), "0");
  EXPECT_NE(SampleValue(page, R"(qiraoid_last_pass_duration_seconds{device="12"})"), "");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_agent_answering{device="12"})"), "1");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_agent_answering{device="13"})"), "0");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_rounds_total{device="13"})"), "0");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_build_info{version=")" QIRAOID_VERSION R"("})"), "1");
  EXPECT_NE(SampleValue(page, "process_resident_memory_bytes"), "");
  EXPECT_NE(SampleValue(page, "process_open_fds"), "");
  EXPECT_NE(SampleValue(page, "process_start_time_seconds"), "");
  EXPECT_NE(SampleValue(page, R"(qiraoid_silences_total{device="13"})"), "0");
  EXPECT_NE(SampleValue(page, R"(qiraoid_retransmissions_total{device="13"})"), "0");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_silences_total{device="14"})"), "0");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_retransmissions_total{device="14"})"), "0");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_rounds_total{device="14"})"), "0");

  // promtool, where Debian's prometheus package is installed, finds nothing to say about it.
  ScratchDir dir;
  const std::string file = dir.Write("page.txt", page);
  if (::access("/usr/bin/promtool", X_OK) == 0) {
    const ProcessResult lint = RunProcess({"/bin/sh", "-c", "/usr/bin/promtool check metrics < " + file});
    EXPECT_EQ(lint.exit_code, 0) << lint.out << lint.err;
    EXPECT_EQ(lint.out + lint.err, "");
  }
}

// A column map names the columns it maps beside qiraoid_cabinet_value's, on the page run serves.
TEST(MetricsColumnMapTest, PageTellsMappedColumnsUnderTheirNames) {
  CabinetAgent agent;
  agent.SetColumns(4, {{1, "231.4"}});
  ScratchDir dir;
  const std::string map = dir.Write("columns.map", "1 phase_voltage volts phase=L1\n2 phase_voltage volts phase=L2\n");
  MetricsRunner runner({Device(12, agent.address(), 4, R"("max_repetitions": 100)")}, {"--column-map", map});
  const std::string page = runner.AwaitSample(R"(phase_voltage_volts{device="12",phase="L1"})");
  ASSERT_NE(page, "");
  EXPECT_EQ(SampleValue(page, R"(phase_voltage_volts{device="12",phase="L1"})"), "231.4");
  EXPECT_EQ(SampleValue(page, R"(phase_voltage_volts{device="12",phase="L2"})"), "229.8");
  EXPECT_EQ(SampleValue(page, R"(qiraoid_cabinet_value{device="12",column="1"})"), "231.4");
  EXPECT_NE(page.find("# TYPE phase_voltage_volts gauge\n"), std::string::npos);
}

TEST_F(MetricsTest, ServerAnswersEachMethodPathAndEncoding) {
  // Once every device has told what it will, the page keeps its lines from scrape to scrape.
  ASSERT_NE(runner_->AwaitSample(R"(qiraoid_cabinet_value{device="12",column="1"})"), "");
  ASSERT_NE(runner_->AwaitSample(R"(qiraoid_agent_answering{device="13"})", "0"), "");
  ASSERT_NE(runner_->AwaitSample(R"(qiraoid_last_pass_duration_seconds{device="14"})"), "");
  const HttpAnswer plain = HttpRequest(runner_->port(), "GET", "/metrics");
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(plain.headers.at("content-type"), "text/plain; version=0.0.4; charset=utf-8");
  EXPECT_EQ(plain.headers.count("content-encoding"), 0u);
  EXPECT_EQ(plain.body.rfind("# HELP qiraoid_cabinet_value ", 0), 0u) << plain.body.substr(0, 200);

  const HttpAnswer zipped = HttpRequest(runner_->port(), "GET", "/metrics", {{"Accept-Encoding", "br, gzip"}});
  EXPECT_EQ(zipped.status, 200);
  EXPECT_EQ(zipped.headers.at("content-encoding"), "gzip");
  EXPECT_EQ(Lines(Gunzip(zipped.body)).size(), Lines(plain.body).size());
  const HttpAnswer refused_gzip = HttpRequest(runner_->port(), "GET", "/metrics", {{"Accept-Encoding", "gzip;q=0"}});
  EXPECT_EQ(refused_gzip.headers.count("content-encoding"), 0u);

  const HttpAnswer head = HttpRequest(runner_->port(), "HEAD", "/metrics");
  EXPECT_EQ(head.status, 200);
  EXPECT_GT(std::stoul(head.headers.at("content-length")), 1000u);
  EXPECT_EQ(head.body, "");
  EXPECT_EQ(HttpRequest(runner_->port(), "GET", "/metrics?debug=1").status, 200);

  for (const char* path : {"/", "/metrics/", "/metricsx", "/../metrics"}) {
    EXPECT_EQ(HttpRequest(runner_->port(), "GET", path).status, 404) << path;
  }
  for (const char* method : {"POST", "PUT", "DELETE", "OPTIONS"}) {
    HttpAnswer answer = HttpRequest(runner_->port(), method, "/metrics");
    EXPECT_EQ(answer.status, 405) << method;
    EXPECT_EQ(answer.headers["allow"], "GET, HEAD") << method;
  }
}

int ConnectTo(unsigned short port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int small = 1024;  // a reader that takes almost nothing
  ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  EXPECT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  return socket;
}

TEST_F(MetricsTest, StalledAndNonReadingClientsHoldUpNeitherDevicesNorOtherClients) {
  std::vector<int> stalled;
  for (int i = 0; i < 3; ++i) {
    stalled.push_back(ConnectTo(runner_->port()));
    const std::string half = "GET /metr";
    EXPECT_EQ(::send(stalled.back(), half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));
  }
  for (int i = 0; i < 3; ++i) {
    stalled.push_back(ConnectTo(runner_->port()));
    const std::string whole = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";  // and never read the answer
    EXPECT_EQ(::send(stalled.back(), whole.data(), whole.size(), 0), static_cast<ssize_t>(whole.size()));
  }
  const std::string rounds = SampleValue(runner_->Scrape(), R"(qiraoid_rounds_total{device="12"})");
  ASSERT_NE(rounds, "");
  const std::string later =
      runner_->AwaitSample(R"(qiraoid_rounds_total{device="12"})", std::to_string(std::stoi(rounds) + 1));
  EXPECT_NE(later, "") << "device 12 completed no further round while clients stalled";
  for (const int socket : stalled) ::close(socket);
}

}  // namespace
