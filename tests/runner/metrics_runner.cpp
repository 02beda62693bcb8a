#include "metrics_runner.h"

#include <csignal>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "event_log.h"
#include "http_client.h"

namespace {

constexpr auto kPatience = std::chrono::seconds(90);

}  // namespace

MetricsRunner::MetricsRunner(const std::vector<std::string>& devices, std::vector<std::string> extra) {
  std::vector<std::string> argv = {ZRMHOST_PATH, "run", "--plugin", PLUGIN_PATH, "--config",
                                   dir_.Write("config.json", ConfigText(devices)), "--metrics", "127.0.0.1:0"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  process_ = std::make_unique<Subprocess>(argv);
  const std::string said = "serving metrics at ";  // http:// or https://, then the address
  const std::string address = "://127.0.0.1:";
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (port_ == 0 && std::chrono::steady_clock::now() < deadline) {
    const std::string err = process_->ErrorSoFar();
    const auto at = err.find(said);
    const auto port = at == std::string::npos ? at : err.find(address, at);
    if (port != std::string::npos && err.find("/metrics", port) != std::string::npos) {
      port_ = static_cast<unsigned short>(std::stoul(err.substr(port + address.size())));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (port_ == 0) throw std::runtime_error("the runner did not serve metrics: " + process_->ErrorSoFar());
}

MetricsRunner::~MetricsRunner() {
  process_->Signal(SIGINT);
  const ProcessResult result = process_->Wait();
  if (result.exit_code != 0) {
    // A sanitizer's first report tells most; otherwise the end of what the runner said.
    const auto report = result.err.find("WARNING: ");
    const std::string told = report != std::string::npos ? result.err.substr(report, 8000)
                                                         : result.err.substr(result.err.size() > 4000 ? result.err.size() - 4000 : 0);
    ADD_FAILURE() << "zrmhost ended with " << result.exit_code << " (signal " << result.term_signal << "): " << told;
  }
}

std::string MetricsRunner::Scrape() const { return HttpRequest(port_, "GET", "/metrics").body; }

std::string MetricsRunner::AwaitSample(const std::string& sample, const std::string& value) const {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  for (;;) {
    const std::string page = Scrape();
    const std::string found = SampleValue(page, sample);
    if (!found.empty() && (value.empty() || found == value)) return page;
    if (std::chrono::steady_clock::now() > deadline) return "";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

std::string SampleValue(const std::string& page, const std::string& sample) {
  const std::string start = sample + " ";
  const auto at = page.find("\n" + start);
  if (at == std::string::npos) return "";
  const auto value = at + 1 + start.size();
  return page.substr(value, page.find('\n', value) - value);
}

size_t LinesStartingWith(const std::string& page, const std::string& prefix) {
  size_t count = 0;
  for (const std::string& line : Lines(page)) count += line.rfind(prefix, 0) == 0 ? 1 : 0;
  return count;
}
