// zrmhost run --metrics: a store beside the printer that keeps what the host receives, and a
// server bound before any device starts that serves it with the driver's figures once they run.
// Threads: the runner's main thread makes it, calls Serve and EndServing and destroys it; the
// devices' sampling threads call the listener (printer, then store) until the devices are deleted,
// so it outlives them; the server's own thread makes each page, reading the store and each device's
// figures through the plug-in's entry point.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "column_map.h"
#include "driver_link.h"
#include "exporter_server.h"
#include "host_session.h"
#include "listener_pair.h"
#include "metrics_store.h"
#include "run_config.h"
#include "web_config.h"

namespace qiraoid {

class MetricsRun {
 public:
  // Binds the address; throws RunnerError when it cannot. The guard says whether to serve HTTPS
  // and to whom; the page names the columns as the map does.
  MetricsRun(const std::string& address, WebGuard guard, const std::vector<DeviceConfig>& devices, ColumnMap columns,
             standin::HostListener& printer);

  // The listener to give the host session: the printer, then the store.
  standin::HostListener& listener() { return listeners_; }
  // Serves the session's devices from now until EndServing, which must come before they are deleted;
  // gives the page's address, "http://127.0.0.1:9116/metrics".
  std::string Serve(HostSession& session, const DriverLink& driver);
  void EndServing();

 private:
  MetricsStore store_;
  const ColumnMap columns_;  // read by the server's thread only, after construction
  ListenerPair listeners_;
  std::string scheme_;  // before the server, which takes the guard
  std::optional<ExporterServer> server_;  // reset by EndServing
  std::string host_;
};

}  // namespace qiraoid
