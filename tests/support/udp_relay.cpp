#include "udp_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <system_error>

namespace {

constexpr auto kClientForgottenAfter = std::chrono::seconds(60);

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

int LoopbackSocket() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) ThrowErrno("relay socket");
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    const int error = errno;
    close(fd);
    throw std::system_error(error, std::generic_category(), "relay bind");
  }
  return fd;
}

// One datagram off a non-blocking socket; false when there is none.
bool Receive(int fd, std::string* payload, sockaddr_storage* from, socklen_t* from_size) {
  payload->resize(65536);
  *from_size = sizeof *from;
  const ssize_t got = recvfrom(fd, payload->data(), payload->size(), 0, reinterpret_cast<sockaddr*>(from), from_size);
  if (got < 0) return false;  // nothing waiting, or an ICMP error from an earlier datagram
  payload->resize(static_cast<size_t>(got));
  return true;
}

}  // namespace

UdpRelay::UdpRelay(uint16_t agent_port, LinkFaults faults) : faults_(faults), random_(faults.seed) {
  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) ThrowErrno("relay pipe");
  wake_read_ = wake[0];
  wake_write_ = wake[1];
  try {
    listen_ = LoopbackSocket();
  } catch (...) {
    close(wake_read_);
    close(wake_write_);
    throw;
  }
  sockaddr_in local{};
  socklen_t local_size = sizeof local;
  getsockname(listen_, reinterpret_cast<sockaddr*>(&local), &local_size);
  port_ = ntohs(local.sin_port);

  auto* agent = reinterpret_cast<sockaddr_in*>(&agent_);
  agent->sin_family = AF_INET;
  agent->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  agent->sin_port = htons(agent_port);
  agent_size_ = sizeof(sockaddr_in);
  thread_ = std::thread(&UdpRelay::Serve, this);
}

UdpRelay::~UdpRelay() {
  close(wake_write_);  // wakes the poll at once
  thread_.join();
  close(wake_read_);
  close(listen_);
  for (const auto& [address, client] : clients_) close(client.socket);
}

std::string UdpRelay::address() const { return "udp:127.0.0.1:" + std::to_string(port_); }

UdpRelay::Counts UdpRelay::counts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counts_;
}

void UdpRelay::Serve() {
  std::string payload;
  std::vector<pollfd> fds;
  std::vector<Address> owners;  // the client of each socket after the first two
  for (;;) {
    fds.assign({{wake_read_, POLLIN, 0}, {listen_, POLLIN, 0}});
    owners.clear();
    for (const auto& [address, client] : clients_) {
      fds.push_back({client.socket, POLLIN, 0});
      owners.push_back(address);
    }
    if (poll(fds.data(), fds.size(), PollTimeoutMs()) < 0 && errno != EINTR) {
      std::cerr << "relay: poll failed, stopping\n";
      return;
    }
    if (fds[0].revents != 0) return;
    sockaddr_storage from{};
    socklen_t from_size = 0;
    if (fds[1].revents != 0 && Receive(listen_, &payload, &from, &from_size)) {
      FromClient(payload, from);
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents != 0 && Receive(fds[i].fd, &payload, &from, &from_size)) {
        FromAgent(owners[i - 2], payload);
      }
    }
    SendDue();
    ForgetSilentClients();
  }
}

void UdpRelay::FromClient(const std::string& payload, const sockaddr_storage& from) {
  if (from.ss_family != AF_INET) return;
  const auto& source = reinterpret_cast<const sockaddr_in&>(from);
  Client& client = clients_[{source.sin_addr.s_addr, source.sin_port}];
  if (client.socket < 0) client.socket = LoopbackSocket();
  client.last_heard = Clock::now();
  const bool dropped = Pass(client.socket, agent_, agent_size_, payload);
  std::lock_guard<std::mutex> lock(mutex_);
  ++counts_.from_clients;
  if (dropped) ++counts_.dropped_to_agent;
}

void UdpRelay::FromAgent(const Address& client, const std::string& payload) {
  sockaddr_storage to{};
  auto& destination = reinterpret_cast<sockaddr_in&>(to);
  destination.sin_family = AF_INET;
  destination.sin_addr.s_addr = client.first;
  destination.sin_port = client.second;
  const bool dropped = Pass(listen_, to, sizeof(sockaddr_in), payload);
  std::lock_guard<std::mutex> lock(mutex_);
  ++counts_.from_agent;
  if (dropped) ++counts_.dropped_to_clients;
}

bool UdpRelay::Pass(int socket, const sockaddr_storage& to, socklen_t to_size, const std::string& payload) {
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  // Both draws are made for every datagram, so one fault's setting never shifts the other's.
  const bool lost = chance(random_) < faults_.loss;
  const bool twice = chance(random_) < faults_.duplicate;
  if (lost) return true;
  if (twice) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_.duplicated;
  }
  for (int copy = 0; copy < (twice ? 2 : 1); ++copy) {
    delayed_.push({Clock::now() + faults_.delay, socket, to, to_size, payload});
  }
  SendDue();
  return false;
}

void UdpRelay::SendDue() {
  const auto now = Clock::now();
  while (!delayed_.empty() && delayed_.top().due <= now) {
    const Delayed& next = delayed_.top();
    // A datagram the kernel will not take is lost, as on a congested link.
    (void)sendto(next.socket, next.payload.data(), next.payload.size(), 0,
                 reinterpret_cast<const sockaddr*>(&next.to), next.to_size);
    delayed_.pop();
  }
}

void UdpRelay::ForgetSilentClients() {
  const auto now = Clock::now();
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (now - it->second.last_heard < kClientForgottenAfter) {
      ++it;
      continue;
    }
    close(it->second.socket);
    it = clients_.erase(it);
  }
}

int UdpRelay::PollTimeoutMs() const {
  if (delayed_.empty()) return 1000;  // wakes now and then to forget silent clients
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(delayed_.top().due - Clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, 1000));
}
