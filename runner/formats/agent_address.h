// The agent addresses the runner accepts: [transport:]host[:port], as Net-SNMP reads them.
// transport: udp, tcp, udp6 or tcp6. host: an IPv4 dotted quad, an IPv6 address in brackets or a
// host name (letters, digits, '-', '_', dot-separated labels). port: 1-65535, 161 when absent.
// At most 255 bytes of printable ASCII.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qiraoid {

constexpr std::size_t kAgentAddressLimit = 255;

// What makes the text unusable as an agent address, or "" when it is usable. The description
// never quotes the text itself.
std::string AgentAddressProblem(std::string_view agent);

}  // namespace qiraoid
