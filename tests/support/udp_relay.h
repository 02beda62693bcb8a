// UdpRelay: stands between SNMP clients and one agent on loopback and treats their datagrams as a
// real link does: loses some, delays them, sends some twice. The same seed gives the same choices
// for the same sequence of datagrams. Each client address gets its own socket towards the agent,
// so answers find their way back; a client silent for a minute is forgotten.
// Thread-safe: the relay runs on its own thread; counts() may be called from any thread.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <queue>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct LinkFaults {
  double loss = 0.0;       // fraction of datagrams dropped, each way
  double duplicate = 0.0;  // fraction of the datagrams passed on that are sent twice
  std::chrono::milliseconds delay{0};  // added to every datagram, each way
  uint32_t seed = 1;
};

class UdpRelay {
 public:
  struct Counts {
    size_t from_clients = 0;  // datagrams received, before any loss
    size_t from_agent = 0;
    size_t dropped_to_agent = 0;
    size_t dropped_to_clients = 0;
    size_t duplicated = 0;
  };

  // Relays to 127.0.0.1:agent_port; throws std::system_error if its sockets cannot be set up.
  UdpRelay(uint16_t agent_port, LinkFaults faults);
  ~UdpRelay();  // stops and joins promptly; datagrams still delayed are dropped
  UdpRelay(const UdpRelay&) = delete;
  UdpRelay& operator=(const UdpRelay&) = delete;

  std::string address() const;  // "udp:127.0.0.1:PORT", usable as a Net-SNMP peername
  uint16_t port() const { return port_; }
  Counts counts() const;

 private:
  using Clock = std::chrono::steady_clock;
  using Address = std::pair<uint32_t, uint16_t>;  // IPv4 address and port, network order
  struct Client {
    int socket = -1;  // towards the agent
    Clock::time_point last_heard;
  };
  struct Delayed {
    Clock::time_point due;
    int socket;
    sockaddr_storage to;
    socklen_t to_size;
    std::string payload;
    bool operator>(const Delayed& other) const { return due > other.due; }
  };

  void Serve();
  void FromClient(const std::string& payload, const sockaddr_storage& from);
  void FromAgent(const Address& client, const std::string& payload);
  // Loses, duplicates and delays one datagram as the faults say; true when it was dropped.
  bool Pass(int socket, const sockaddr_storage& to, socklen_t to_size, const std::string& payload);
  void SendDue();
  void ForgetSilentClients();
  int PollTimeoutMs() const;

  LinkFaults faults_;
  std::mt19937 random_;
  int listen_ = -1;
  int wake_read_ = -1;
  int wake_write_ = -1;
  uint16_t port_ = 0;
  sockaddr_storage agent_{};
  socklen_t agent_size_ = 0;
  std::map<Address, Client> clients_;
  std::priority_queue<Delayed, std::vector<Delayed>, std::greater<Delayed>> delayed_;
  mutable std::mutex mutex_;
  Counts counts_;
  std::thread thread_;
};
