// The address zrmhost run --metrics listens on: HOST:PORT, the host an IPv4 address, an IPv6
// address in brackets, "localhost" or nothing (:PORT, all interfaces, as exporters write it), the
// port 0-65535 (0: any free port, said when serving).
#pragma once

#include <string>

namespace qiraoid {

struct MetricsAddress {
  std::string host;  // an IP address, without brackets; empty for all interfaces
  unsigned short port = 0;
};

// "" for a usable address, otherwise what is wrong with it.
std::string MetricsAddressProblem(const std::string& text);
// The text must have passed MetricsAddressProblem.
MetricsAddress ParseMetricsAddress(const std::string& text);

}  // namespace qiraoid
