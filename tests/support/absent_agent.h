// The two ways an agent is absent on loopback, which a device must tell apart: a port that takes
// datagrams and never answers (BlackHole: the kernel says nothing), and a port nothing listens at
// (ClosedUdpPort: the kernel answers with ICMP port unreachable). Header-only, for any test.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace absent_agent {

// A UDP socket on a free loopback port of the family; closed by the caller.
inline int BoundSocket(int family, uint16_t* port) {
  const int bound = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_storage address{};
  socklen_t size = 0;
  if (family == AF_INET6) {
    auto& ipv6 = reinterpret_cast<sockaddr_in6&>(address);
    ipv6.sin6_family = AF_INET6;
    ipv6.sin6_addr = in6addr_loopback;
    size = sizeof ipv6;
  } else {
    auto& ipv4 = reinterpret_cast<sockaddr_in&>(address);
    ipv4.sin_family = AF_INET;
    ipv4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    size = sizeof ipv4;
  }
  ::bind(bound, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(bound, reinterpret_cast<sockaddr*>(&address), &size);
  *port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                   : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return bound;
}

// "udp:127.0.0.1:PORT" or "udp6:[::1]:PORT", as Net-SNMP takes an agent's address.
inline std::string LoopbackAddress(int family, uint16_t port) {
  return (family == AF_INET6 ? "udp6:[::1]:" : "udp:127.0.0.1:") + std::to_string(port);
}

// A free loopback UDP port of the family, found by binding a socket and closed again.
inline uint16_t ClosedUdpPort(int family = AF_INET) {
  uint16_t port = 0;
  ::close(BoundSocket(family, &port));
  return port;
}

// A loopback UDP port that takes datagrams and never answers.
class BlackHole {
 public:
  BlackHole() : socket_(BoundSocket(AF_INET, &port_)) {}
  ~BlackHole() { ::close(socket_); }
  BlackHole(const BlackHole&) = delete;
  BlackHole& operator=(const BlackHole&) = delete;

  std::string address() const { return LoopbackAddress(AF_INET, port_); }
  void AwaitDatagram() const {
    pollfd waited{socket_, POLLIN, 0};
    ::poll(&waited, 1, -1);
  }

 private:
  uint16_t port_ = 0;
  int socket_;
};

}  // namespace absent_agent
