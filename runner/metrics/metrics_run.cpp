#include "metrics_run.h"

#include <utility>

#include "exporter_error.h"
#include "runner_error.h"

namespace qiraoid {

MetricsRun::MetricsRun(const std::string& address, WebGuard guard, const std::vector<DeviceConfig>& devices,
                       ColumnMap columns, standin::HostListener& printer)
    : store_(DeviceIds(devices)),
      columns_(std::move(columns)),
      listeners_(printer, store_),
      scheme_(guard.tls ? "https" : "http"),
      host_(ParseListenAddress(address).host) {
  try {
    server_.emplace(ParseListenAddress(address), ServerLimits{}, std::move(guard));
  } catch (const ExporterError& error) {
    throw RunnerError(error.what());
  }
  if (host_.empty()) host_ = server_->host();  // all interfaces: the wildcard address bound
}

std::string MetricsRun::Serve(HostSession& session, const DriverLink& driver) {
  auto page = [this, &session, &driver] {
    std::vector<DeviceMetrics> devices = store_.Snapshot();
    for (std::size_t index = 0; index < devices.size(); ++index) {
      devices[index].figures = driver.Figures(session.device(index));
    }
    return MetricsPage(devices, {QIRAOID_VERSION, ReadProcessFigures()}, columns_);
  };
  server_->Serve({{kMetricsPath, kMetricsContentType, page}});
  const std::string host = host_.find(':') == std::string::npos ? host_ : "[" + host_ + "]";
  return scheme_ + "://" + host + ":" + std::to_string(server_->port()) + kMetricsPath;
}

void MetricsRun::EndServing() { server_.reset(); }

}  // namespace qiraoid
