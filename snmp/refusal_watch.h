// RefusalWatch: the kernel's word that nothing listens at the agent's address, an ICMP port or
// host unreachable for a datagram sent to it, read from the session's UDP socket's error queue.
// The socket stays unconnected (answers may come from another address of the agent's host), so
// errors are asked for with IP_RECVERR / IPV6_RECVERR; poll then reports POLLERR when one came.
// Other sockets (TCP, unknown families) are not watched. The session's thread's only.
#pragma once

#include <sys/socket.h>

#include <optional>
#include <string>

namespace qiraoid {

class RefusalWatch {
 public:
  RefusalWatch() = default;  // watches nothing
  // `agent` is where the socket sends, `agent_length` bytes of it; null or a stream socket: none.
  RefusalWatch(int socket, bool datagram, const void* agent, size_t agent_length);

  // Empties the error queue and clears the socket's pending error, so neither a later send nor
  // poll trips on it; tells the refusal among them for the agent's address, in an operator's
  // words ("nothing listens at udp:127.0.0.1:161: port unreachable"), if there was one.
  std::optional<std::string> TakeRefusal();

 private:
  bool IsTheAgent(const sockaddr_storage& destination) const;

  int socket_ = -1;  // -1: not watched
  sockaddr_storage agent_{};
};

}  // namespace qiraoid
