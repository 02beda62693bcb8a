// Serves the metrics page over HTTP/1.1 (Boost.Beast), or HTTPS and/or behind basic authentication
// as a web configuration asks, on a thread of its own: GET or HEAD of
// /metrics gets the page, gzip-compressed when the client accepts it; another path gets 404,
// another method 405. Every connection is served asynchronously under time limits, and their
// number is capped, so a slow or broken client holds up neither the devices nor other clients; at
// the cap, the connection that has waited longest for a whole request is closed to make room.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "metrics_address.h"
#include "web_config.h"

namespace qiraoid {

// What one client may take of the server.
struct ServerLimits {
  std::chrono::milliseconds request_time{std::chrono::seconds(5)};  // to send a request, from the wait's start
  std::chrono::milliseconds answer_time{std::chrono::seconds(60)};  // to take a whole page
  std::size_t header_bytes = 8 * 1024;  // a longer request header gets 431
  std::size_t connections = 32;         // open at once
};

class MetricsServer {
 public:
  using Page = std::function<std::string()>;  // called on the server's thread, once per scrape

  // Listens at once (clients wait until Serve); throws RunnerError when the address cannot be bound.
  explicit MetricsServer(const MetricsAddress& address, const ServerLimits& limits = {}, WebGuard guard = {});
  // Starts answering, once.
  void Serve(Page page);
  // Stops listening, drops every connection and joins the thread.
  ~MetricsServer();
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  unsigned short port() const;  // the port bound, when 0 was asked for
  std::string host() const;     // the address bound: "::" or "0.0.0.0" for all interfaces

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qiraoid
