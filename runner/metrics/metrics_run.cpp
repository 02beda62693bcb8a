#include "metrics_run.h"

#include <utility>

#include "line_output.h"

namespace qiraoid {

MetricsRun::MetricsRun(const std::string& address, const std::vector<DeviceConfig>& devices, ColumnMap columns,
                       standin::HostListener& printer)
    : store_(DeviceIds(devices)),
      columns_(std::move(columns)),
      listeners_(printer, store_),
      server_(ParseMetricsAddress(address)),
      host_(ParseMetricsAddress(address).host) {}

void MetricsRun::Serve(HostSession& session, const DriverLink& driver) {
  server_.Serve([this, &session, &driver] {
    std::vector<DeviceMetrics> devices = store_.Snapshot();
    for (std::size_t index = 0; index < devices.size(); ++index) {
      devices[index].figures = driver.Figures(session.device(index));
    }
    return MetricsPage(devices, {QIRAOID_VERSION, ReadProcessFigures()}, columns_);
  });
  const std::string host = host_.find(':') == std::string::npos ? host_ : "[" + host_ + "]";
  Diagnose("serving metrics at http://" + host + ":" + std::to_string(server_.port()) + "/metrics");
}

}  // namespace qiraoid
