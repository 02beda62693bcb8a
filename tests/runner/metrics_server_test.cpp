// The metrics server in this process, on real loopback sockets: a scrape is answered however many
// clients sit idle or half-sent, a request header over the size limit is refused, and a client too
// slow with its request is closed.
#include <sys/socket.h>
#include <sys/time.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "http_client.h"
#include "metrics_server.h"

namespace qiraoid {
namespace {

const char kPage[] = "# TYPE qiraoid_rounds_total counter\nqiraoid_rounds_total{device=\"12\"} 7\n";
const char kHalfRequest[] = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n";

class Served {
 public:
  explicit Served(const ServerLimits& limits) : server_(MetricsAddress{"127.0.0.1", 0}, limits) {
    server_.Serve([] { return std::string(kPage); });
  }
  unsigned short port() const { return server_.port(); }

 private:
  MetricsServer server_;
};

// A client socket connected to the port, that sent `text`.
class Client {
 public:
  Client(unsigned short port, const std::string& text) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << errno;
    if (!text.empty()) {
      EXPECT_EQ(::send(socket_, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    }
  }
  ~Client() { ::close(socket_); }
  Client(Client&& other) noexcept : socket_(other.socket_) { other.socket_ = -1; }

  // Whether the server closed the connection without a word; waits for it (a minute at most, so
  // that a server that never closes fails the test rather than hanging it).
  bool ClosedByServer() const {
    timeval limit{60, 0};
    ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char byte;
    return ::recv(socket_, &byte, 1, 0) == 0;
  }
  // Whether the connection is still open, the server having said nothing on it.
  bool StillOpen() const {
    char byte;
    return ::recv(socket_, &byte, 1, MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }

 private:
  int socket_;
};

TEST(MetricsServer, ScrapeIsAnsweredBesideTwoHundredIdleAndHalfSentConnections) {
  ServerLimits limits;
  limits.request_time = std::chrono::hours(1);  // none is closed for its time: only to make room
  const Served served(limits);
  std::vector<Client> clients;
  for (int i = 0; i < 200; ++i) clients.emplace_back(served.port(), i % 2 == 0 ? "" : kHalfRequest);

  const HttpAnswer scrape = HttpRequest(served.port(), "GET", "/metrics");
  EXPECT_EQ(scrape.status, 200);
  EXPECT_EQ(scrape.body, kPage);
  EXPECT_TRUE(clients.front().ClosedByServer()) << "the connection waiting longest was kept";
  EXPECT_TRUE(clients.back().StillOpen()) << "the connection waiting least was closed";
}

TEST(MetricsServer, RequestHeaderOverTheSizeLimitIsRefused) {
  const struct {
    std::size_t filler;  // bytes of one header field's value
    int status;
  } cases[] = {{7 * 1024, 200}, {9 * 1024, 431}, {60 * 1024, 431}};
  const Served served(ServerLimits{});
  for (const auto& test : cases) {
    HttpAnswer answer = HttpRequest(served.port(), "GET", "/metrics", {{"X-Filler", std::string(test.filler, 'f')}});
    EXPECT_EQ(answer.status, test.status) << test.filler << " bytes";
    if (test.status == 431) {
      EXPECT_EQ(answer.headers["connection"], "close");
    }
  }
  EXPECT_EQ(HttpRequest(served.port(), "GET", "/metrics").body, kPage);
}

TEST(MetricsServer, ClientTooSlowWithItsRequestIsClosed) {
  ServerLimits limits;
  limits.request_time = std::chrono::milliseconds(50);  // the test waits for it, not the other way round
  const Served served(limits);
  for (const std::string sent : {"", "GET /metr", kHalfRequest}) {
    EXPECT_TRUE(Client(served.port(), sent).ClosedByServer()) << '"' << sent << '"';
  }
}

}  // namespace
}  // namespace qiraoid
