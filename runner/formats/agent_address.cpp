#include "agent_address.h"

#include <array>

#include <arpa/inet.h>

#include "utf8_text.h"

namespace qiraoid {

namespace {

constexpr std::array<std::string_view, 4> kTransports = {"udp", "tcp", "udp6", "tcp6"};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (!IsDigit(c)) return false;
  }
  return !text.empty();
}

// Net-SNMP compares transport names without regard to case.
bool SameLetters(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t at = 0; at < a.size(); ++at) {
    if ((a[at] | 0x20) != (b[at] | 0x20)) return false;
  }
  return true;
}

std::string_view WithoutTransport(std::string_view agent) {
  const std::size_t colon = agent.find(':');
  if (colon == std::string_view::npos) return agent;
  for (const std::string_view transport : kTransports) {
    if (SameLetters(agent.substr(0, colon), transport)) return agent.substr(colon + 1);
  }
  return agent;
}

std::string CharacterProblem(std::string_view agent) {
  if (agent.empty()) return "it is empty";
  if (agent.size() > kAgentAddressLimit) {
    return "it is " + std::to_string(agent.size()) + " bytes long, above the limit of " +
           std::to_string(kAgentAddressLimit);
  }
  for (std::size_t at = 0; at < agent.size(); ++at) {
    const auto byte = static_cast<unsigned char>(agent[at]);
    if (byte == 0) return "it holds a NUL byte";
    if (byte < 0x20 || byte == 0x7f) return "it holds a control character";
    if (byte >= 0x80) {
      return Utf8Length(agent.substr(at)) == 0 ? "it is not valid UTF-8"
                                                : "it holds a character outside ASCII, which no host "
                                                  "name or address has";
    }
  }
  return "";
}

std::string PortProblem(std::string_view port) {
  if (!AllDigits(port) || port.size() > 5) return "its port is not a number in 1-65535";
  const int value = std::stoi(std::string(port));
  if (value < 1 || value > 65535) return "its port " + std::to_string(value) + " is not in 1-65535";
  return "";
}

std::string DottedQuadProblem(std::string_view host) {
  int octets = 0;
  for (std::size_t start = 0; start <= host.size(); ++octets) {
    std::size_t dot = host.find('.', start);
    if (dot == std::string_view::npos) dot = host.size();
    const std::string_view octet = host.substr(start, dot - start);
    if (!AllDigits(octet) || octet.size() > 3) return "its host is not a dotted quad (a.b.c.d)";
    const int value = std::stoi(std::string(octet));
    if (value > 255) return "its IPv4 address has an octet " + std::to_string(value) + " above 255";
    start = dot + 1;
  }
  return octets == 4 ? "" : "its IPv4 address does not have four octets";
}

std::string HostNameProblem(std::string_view host) {
  std::size_t label = 0;
  for (std::size_t at = 0; at <= host.size(); ++at) {
    if (at == host.size() || host[at] == '.') {
      if (label == 0) return "its host name has an empty label";
      if (label > 63) return "its host name has a label longer than 63 characters";
      label = 0;
      continue;
    }
    const char c = host[at];
    if (!IsAlpha(c) && !IsDigit(c) && c != '-' && c != '_') {
      return "its host name holds a character other than letters, digits, '-', '_' and '.'";
    }
    if (label == 0 && c == '-') return "its host name has a label starting with '-'";
    ++label;
  }
  return "";
}

std::string HostProblem(std::string_view host) {
  if (host.empty()) return "it names no host";
  if (host.front() == '[') {
    in6_addr address{};
    const std::string inside(host.substr(1, host.size() - 2));
    if (host.back() != ']' || ::inet_pton(AF_INET6, inside.c_str(), &address) != 1) {
      return "its bracketed host is not an IPv6 address";
    }
    return "";
  }
  bool digits_and_dots = true;
  for (const char c : host) digits_and_dots = digits_and_dots && (IsDigit(c) || c == '.');
  return digits_and_dots ? DottedQuadProblem(host) : HostNameProblem(host);
}

}  // namespace

std::string AgentAddressProblem(std::string_view agent) {
  if (std::string problem = CharacterProblem(agent); !problem.empty()) return problem;
  const std::string_view rest = WithoutTransport(agent);
  // The port follows the last colon, and the host ends with its ']' when it is bracketed.
  const std::size_t bracket = rest.rfind(']');
  const std::size_t colon = rest.find(':', bracket == std::string_view::npos ? 0 : bracket);
  const std::string_view host = rest.substr(0, colon);
  if (std::string problem = HostProblem(host); !problem.empty()) return problem;
  if (colon == std::string_view::npos) return "";
  return PortProblem(rest.substr(colon + 1));
}

}  // namespace qiraoid
