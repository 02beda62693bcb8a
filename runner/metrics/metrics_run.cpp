#include "metrics_run.h"

#include <utility>

#include "line_output.h"

namespace qiraoid {

MetricsRun::MetricsRun(const std::string& address, WebGuard guard, const std::vector<DeviceConfig>& devices,
                       ColumnMap columns, standin::HostListener& printer)
    : store_(DeviceIds(devices)),
      columns_(std::move(columns)),
      listeners_(printer, store_),
      scheme_(guard.tls ? "https" : "http"),
      host_(ParseMetricsAddress(address).host) {
  server_.emplace(ParseMetricsAddress(address), ServerLimits{}, std::move(guard));
  if (host_.empty()) host_ = server_->host();  // all interfaces: the wildcard address bound
}

void MetricsRun::Serve(HostSession& session, const DriverLink& driver) {
  server_->Serve([this, &session, &driver] {
    std::vector<DeviceMetrics> devices = store_.Snapshot();
    for (std::size_t index = 0; index < devices.size(); ++index) {
      devices[index].figures = driver.Figures(session.device(index));
    }
    return MetricsPage(devices, {QIRAOID_VERSION, ReadProcessFigures()}, columns_);
  });
  const std::string host = host_.find(':') == std::string::npos ? host_ : "[" + host_ + "]";
  Diagnose("serving metrics at " + scheme_ + "://" + host + ":" + std::to_string(server_->port()) + "/metrics");
}

void MetricsRun::EndServing() { server_.reset(); }

}  // namespace qiraoid
