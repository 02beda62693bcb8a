// The address the exporter listens on: HOST:PORT, the host an IPv4 address, an IPv6 address in
// brackets, "localhost" or nothing (:PORT, all interfaces, as exporters write it), the port 0-65535
// (0: any free port).
#pragma once

#include <string>

namespace qiraoid {

struct ListenAddress {
  std::string host;  // an IP address, without brackets; empty for all interfaces
  unsigned short port = 0;
};

// "" for a usable address, otherwise what is wrong with it.
std::string ListenAddressProblem(const std::string& text);
// The text must have passed ListenAddressProblem.
ListenAddress ParseListenAddress(const std::string& text);

}  // namespace qiraoid
