// What one scrape of a thousand devices costs: the runner's metrics page for 1000 cabinets in mode
// 2 (the simulator's default values, 312 alarm signals each, the driver's figures), served by the
// exporter the runner uses and read over loopback HTTP, plain and gzip-compressed. Prints the time
// per scrape and the bytes sent.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "exporter_server.h"
#include "metrics_page.h"

namespace {

namespace beast = boost::beast;
namespace http = beast::http;

constexpr int kDevices = 1000;

// Column values of the simulator's default cabinet, from `cabinet defaults`.
std::array<float, kQiraoidColumns> DefaultValues() {
  std::array<float, kQiraoidColumns> values{};
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(CABINET_PATH " defaults --address 4", "r"), pclose);
  if (!pipe) throw std::runtime_error("cannot run cabinet defaults");
  char line[256];
  while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
    int address = 0, column = 0;
    float value = 0;
    if (std::sscanf(line, "%d.%d %f", &address, &column, &value) == 3 && column >= 1 && column <= kQiraoidColumns) {
      values[column - 1] = value;
    }
  }
  return values;
}

std::vector<qiraoid::DeviceMetrics> ThousandDevices() {
  const auto values = DefaultValues();
  std::vector<qiraoid::DeviceMetrics> devices(kDevices);
  for (int index = 0; index < kDevices; ++index) {
    qiraoid::DeviceMetrics& device = devices[index];
    device.id = 1000 + index;
    device.rounds = 12345;
    device.last_round_seconds = 1796900000.25;
    device.values = values;
    for (unsigned short number = 1; number <= 312; ++number) {
      char id[16];
      std::snprintf(id, sizeof id, "12083017%03u0", number);
      device.signals.push_back({number, id, "\u5e02\u7535\u6545\u969c", number == 82});
    }
    qiraoid::DriverFigures figures;
    figures.passes = 12400;
    figures.totals.requests = 173600;
    figures.totals.retransmissions = 3;
    figures.totals.silences = 1;
    figures.totals.seconds = 1500.5;
    figures.last_pass.requests = 14;
    figures.last_pass.seconds = 0.118;
    figures.agent = qiraoid::AgentState::kAnswering;
    device.figures = figures;
  }
  return devices;
}

std::size_t Scrape(unsigned short port, bool gzip) {
  boost::asio::io_context io;
  beast::tcp_stream stream(io);
  stream.connect({boost::asio::ip::make_address("127.0.0.1"), port});
  http::request<http::empty_body> request{http::verb::get, "/metrics", 11};
  request.set(http::field::host, "127.0.0.1");
  if (gzip) request.set(http::field::accept_encoding, "gzip");
  http::write(stream, request);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(1ull << 32);
  http::read(stream, buffer, parser);
  return parser.get().body().size();
}

void BM_ScrapeOfAThousandDevices(benchmark::State& state) {
  static const std::vector<qiraoid::DeviceMetrics> devices = ThousandDevices();
  qiraoid::ExporterServer server({"127.0.0.1", 0});
  server.Serve({{qiraoid::kMetricsPath, qiraoid::kMetricsContentType,
                 [] { return qiraoid::MetricsPage(devices, {"1.0.0", qiraoid::ReadProcessFigures()}); }}});
  const bool gzip = state.range(0) != 0;
  std::size_t bytes = 0;
  for (auto _ : state) bytes = Scrape(server.port(), gzip);
  state.counters["bytes"] = static_cast<double>(bytes);
  state.SetLabel(gzip ? "gzip" : "plain");
}
BENCHMARK(BM_ScrapeOfAThousandDevices)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The page alone, without HTTP: how much of a scrape is making the text.
void BM_PageOfAThousandDevices(benchmark::State& state) {
  static const std::vector<qiraoid::DeviceMetrics> devices = ThousandDevices();
  for (auto _ : state) benchmark::DoNotOptimize(qiraoid::MetricsPage(devices, {"1.0.0", qiraoid::ReadProcessFigures()}));
}
BENCHMARK(BM_PageOfAThousandDevices)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
