// A real Prometheus (Debian's prometheus package) scrapes zrmhost run --metrics every second while
// the cabinet simulator serves the device; its HTTP API then shows the simulator's values, an
// alarm raised and cleared, and the driver's pass duration; with --web-config, it scrapes over TLS
// with basic authentication, and a wrong password is refused. Skipped only when it is not installed.
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include <json/reader.h>
#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "http_client.h"
#include "metrics_runner.h"
#include "scratch_dir.h"
#include "subprocess.h"
#include "web_guard_files.h"

namespace {

const char kPrometheus[] = "/usr/bin/prometheus";

unsigned short FreeLoopbackPort() {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(socket);
  return ntohs(address.sin_port);
}

std::string UrlEncoded(const std::string& text) {
  std::string encoded;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '_' || c == '.') {
      encoded += static_cast<char>(c);
    } else {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      encoded += escape;
    }
  }
  return encoded;
}

// A scrape configuration's job of the target on loopback, with more of its keys (indented by four).
std::string Job(const std::string& name, unsigned short target, const std::string& more = "") {
  return "  - job_name: " + name + "\n    static_configs:\n      - targets: ['127.0.0.1:" + std::to_string(target) +
         "']\n" + more;
}

class Prometheus {
 public:
  // Scrapes every second the jobs of the scrape configuration.
  explicit Prometheus(const std::string& jobs) : port_(FreeLoopbackPort()) {
    const std::string config = dir_.Write("prometheus.yml",
                                          "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                          "scrape_configs:\n" + jobs);
    process_ = std::make_unique<Subprocess>(std::vector<std::string>{
        kPrometheus, "--config.file=" + config, "--storage.tsdb.path=" + dir_.path() + "/data",
        "--web.listen-address=127.0.0.1:" + std::to_string(port_), "--log.level=warn"});
  }

  // The value of the query's first series, as Prometheus's HTTP API gives it ("" for none).
  std::string Value(const std::string& query) const {
    const HttpAnswer answer = HttpRequest(port_, "GET", "/api/v1/query?query=" + UrlEncoded(query));
    Json::Value reply;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    if (answer.status != 200 ||
        !reader->parse(answer.body.data(), answer.body.data() + answer.body.size(), &reply, &errors)) {
      return "";
    }
    const Json::Value& result = reply["data"]["result"];
    return result.isArray() && !result.empty() ? result[0]["value"][1].asString() : "";
  }

  // Asks until the query gives the value (any value, when empty); false after 90 s.
  bool Await(const std::string& query, const std::string& value = "") const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    for (;;) {
      const std::string found = Value(query);
      if (!found.empty() && (value.empty() || found == value)) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
  }

  std::string Log() const { return process_->ErrorSoFar(); }

 private:
  ScratchDir dir_;
  unsigned short port_;
  std::unique_ptr<Subprocess> process_;
};

TEST(RunnerPrometheus, ScrapesValuesAnAlarmRaisedAndClearedAndThePassDuration) {
  if (::access(kPrometheus, X_OK) != 0) GTEST_SKIP() << kPrometheus << " is not installed";
  CabinetAgent agent;
  agent.SetColumns(4, {{5, "123.25"}});
  MetricsRunner runner({R"({"id": 12, "agent": ")" + agent.address() +
                        R"(", "address": 4, "appSetting": {"b_mode": "2", "max_repetitions": 100}})"});
  Prometheus prometheus(Job("cabinets", runner.port()));

  EXPECT_TRUE(prometheus.Await(R"(qiraoid_cabinet_value{device="12",column="5"})", "123.25")) << prometheus.Log();
  EXPECT_EQ(prometheus.Value(R"(qiraoid_cabinet_value{device="12",column="1"})"), "230.5");  // the default
  EXPECT_EQ(prometheus.Value(R"(qiraoid_alarm_active{device="12",signal="82"})"), "0");

  agent.SetColumns(4, {{324, "1"}});
  EXPECT_TRUE(prometheus.Await(R"(qiraoid_alarm_active{device="12",signal="82",id="120830170820",name="第一路防雷状态"})", "1"));
  agent.SetColumns(4, {{324, "0"}});
  EXPECT_TRUE(prometheus.Await(R"(qiraoid_alarm_active{device="12",signal="82",id="120830170820"})", "0"));

  EXPECT_TRUE(prometheus.Await(R"(qiraoid_last_pass_duration_seconds{device="12"} > 0)"));
  EXPECT_TRUE(prometheus.Await(R"(up{job="cabinets"})", "1"));
}

TEST(RunnerPrometheus, ScrapesOverTlsWithBasicAuthenticationAndAWrongPasswordIsRefused) {
  if (::access(kPrometheus, X_OK) != 0) GTEST_SKIP() << kPrometheus << " is not installed";
  ScratchDir dir;
  const CertificateFiles certificate = WriteSelfSignedCertificate(dir.path());
  const std::string web_config =
      dir.Write("web.yml", "tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n"
                           "basic_auth_users:\n  prometheus: " + BcryptHash("scrape-pw") + "\n");
  CabinetAgent agent;
  agent.SetColumns(4, {{5, "123.25"}});
  MetricsRunner runner({R"({"id": 12, "agent": ")" + agent.address() +
                        R"(", "address": 4, "appSetting": {"b_mode": "2", "max_repetitions": 100}})"},
                       {"--web-config", web_config});
  const auto guarded = [&](const std::string& password) {
    return "    scheme: https\n    tls_config:\n      ca_file: " + certificate.cert +
           "\n    basic_auth:\n      username: prometheus\n      password: " + password + "\n";
  };
  Prometheus prometheus(Job("guarded", runner.port(), guarded("scrape-pw")) +
                        Job("wrong", runner.port(), guarded("scrape-pv")));

  EXPECT_TRUE(prometheus.Await(R"(up{job="guarded"})", "1")) << prometheus.Log();
  EXPECT_TRUE(prometheus.Await(R"(qiraoid_cabinet_value{job="guarded",device="12",column="5"})", "123.25"));
  EXPECT_TRUE(prometheus.Await(R"(up{job="wrong"})", "0"));
  EXPECT_EQ(prometheus.Value(R"(count(qiraoid_rounds_total{job="wrong"}))"), "");
  EXPECT_EQ(HttpsRequest(runner.port(), certificate.cert, "GET", "/metrics").status, 401);
  EXPECT_EQ(runner.process().ErrorSoFar().find("scrape-pw"), std::string::npos);
}

}  // namespace
