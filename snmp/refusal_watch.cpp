#include "refusal_watch.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>

#include <cstdint>
#include <cstring>

namespace qiraoid {

namespace {

// The ICMP errors that say nothing listens at the address a datagram went to.
struct Unreachable {
  uint8_t origin;
  uint8_t type;
  uint8_t code;
  const char* words;
};
constexpr Unreachable kUnreachables[] = {
    {SO_EE_ORIGIN_ICMP, ICMP_DEST_UNREACH, ICMP_PORT_UNREACH, "port unreachable"},
    {SO_EE_ORIGIN_ICMP, ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, "host unreachable"},
    {SO_EE_ORIGIN_ICMP6, ICMP6_DST_UNREACH, ICMP6_DST_UNREACH_NOPORT, "port unreachable"},
    {SO_EE_ORIGIN_ICMP6, ICMP6_DST_UNREACH, ICMP6_DST_UNREACH_ADDR, "host unreachable"},
};

const char* UnreachableWords(const sock_extended_err& error) {
  for (const Unreachable& row : kUnreachables) {
    if (error.ee_origin == row.origin && error.ee_type == row.type && error.ee_code == row.code) return row.words;
  }
  return nullptr;
}

// The extended error a message from the error queue carries, if any.
const sock_extended_err* ExtendedError(msghdr& message) {
  for (cmsghdr* part = CMSG_FIRSTHDR(&message); part != nullptr; part = CMSG_NXTHDR(&message, part)) {
    const bool ipv4 = part->cmsg_level == IPPROTO_IP && part->cmsg_type == IP_RECVERR;
    const bool ipv6 = part->cmsg_level == IPPROTO_IPV6 && part->cmsg_type == IPV6_RECVERR;
    if (ipv4 || ipv6) return reinterpret_cast<const sock_extended_err*>(CMSG_DATA(part));
  }
  return nullptr;
}

// "udp:192.0.2.10:161", "udp6:[2001:db8::1]:161", as Net-SNMP names its transports.
std::string AddressText(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text);
    return std::string("udp:") + text + ":" + std::to_string(ntohs(ipv4.sin_port));
  }
  const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
  inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text);
  return std::string("udp6:[") + text + "]:" + std::to_string(ntohs(ipv6.sin6_port));
}

bool AskForErrors(int socket, sa_family_t family) {
  const int on = 1;
  if (family == AF_INET) return setsockopt(socket, IPPROTO_IP, IP_RECVERR, &on, sizeof on) == 0;
  if (family == AF_INET6) return setsockopt(socket, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on) == 0;
  return false;
}

}  // namespace

RefusalWatch::RefusalWatch(int socket, bool datagram, const void* agent, size_t agent_length) {
  if (!datagram || agent == nullptr || agent_length < sizeof(sa_family_t) || agent_length > sizeof agent_) return;
  std::memcpy(&agent_, agent, agent_length);
  if (AskForErrors(socket, agent_.ss_family)) socket_ = socket;
}

std::optional<std::string> RefusalWatch::TakeRefusal() {
  if (socket_ < 0) return std::nullopt;
  std::optional<std::string> refusal;
  for (;;) {
    sockaddr_storage destination{};  // where the datagram the error is about went
    char head[1];                    // of that datagram: not needed
    iovec part{head, sizeof head};
    alignas(cmsghdr) char control[256];
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(socket_, &message, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) break;  // empty
    const sock_extended_err* error = ExtendedError(message);
    const char* words = error != nullptr ? UnreachableWords(*error) : nullptr;
    if (words != nullptr && IsTheAgent(destination)) {
      refusal = "nothing listens at " + AddressText(destination) + ": " + words;
    }
  }
  int pending = 0;
  socklen_t size = sizeof pending;
  getsockopt(socket_, SOL_SOCKET, SO_ERROR, &pending, &size);
  return refusal;
}

bool RefusalWatch::IsTheAgent(const sockaddr_storage& destination) const {
  if (destination.ss_family != agent_.ss_family) return false;
  if (agent_.ss_family == AF_INET) {
    const auto& sent = reinterpret_cast<const sockaddr_in&>(destination);
    const auto& agent = reinterpret_cast<const sockaddr_in&>(agent_);
    return sent.sin_addr.s_addr == agent.sin_addr.s_addr && sent.sin_port == agent.sin_port;
  }
  const auto& sent = reinterpret_cast<const sockaddr_in6&>(destination);
  const auto& agent = reinterpret_cast<const sockaddr_in6&>(agent_);
  return std::memcmp(&sent.sin6_addr, &agent.sin6_addr, sizeof agent.sin6_addr) == 0 &&
         sent.sin6_port == agent.sin6_port;
}

}  // namespace qiraoid
