// Serves the routes it is given over HTTP/1.1 (Boost.Beast), or HTTPS and/or behind basic
// authentication as a web configuration asks, on a thread of its own: GET or HEAD of a route's path
// gets what its handler makes, gzip-compressed when the client accepts it; another path gets 404,
// another method 405. Every connection is served asynchronously under time limits, and their
// number is capped, so a slow or broken client holds up neither the program nor other clients; at
// the cap, the connection that has waited longest for a whole request is closed to make room.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "listen_address.h"
#include "web_config.h"

namespace qiraoid {

// What one client may take of the server.
struct ServerLimits {
  std::chrono::milliseconds request_time{std::chrono::seconds(5)};  // to send a request, from the wait's start
  std::chrono::milliseconds answer_time{std::chrono::seconds(60)};  // to take a whole page
  std::size_t header_bytes = 8 * 1024;  // a longer request header gets 431
  std::size_t connections = 32;         // open at once
};

// A path served, and what serves it.
struct Route {
  std::string path;  // "/metrics"; a request's query is not part of it
  std::string content_type;
  std::function<std::string()> handler;  // the body; called on the server's thread, once per request
};

class ExporterServer {
 public:
  // Listens at once (clients wait until Serve); throws ExporterError when the address cannot be bound.
  explicit ExporterServer(const ListenAddress& address, const ServerLimits& limits = {}, WebGuard guard = {});
  // Starts answering the routes' paths, once.
  void Serve(std::vector<Route> routes);
  // Stops listening, drops every connection and joins the thread.
  ~ExporterServer();
  ExporterServer(const ExporterServer&) = delete;
  ExporterServer& operator=(const ExporterServer&) = delete;

  unsigned short port() const;  // the port bound, when 0 was asked for
  std::string host() const;     // the address bound: "::" or "0.0.0.0" for all interfaces

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace qiraoid
