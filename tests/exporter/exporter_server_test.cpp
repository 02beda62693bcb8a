// The exporter's server in this process, on real loopback sockets: each route is served with its
// content type, a scrape is answered however many clients sit idle or half-sent, a request header
// over the size limit is refused, a client too slow with its request is closed, and a web
// configuration's TLS and users guard the page.
#include <sys/socket.h>
#include <sys/time.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <openssl/evp.h>

#include "exporter_error.h"
#include "exporter_server.h"
#include "http_client.h"
#include "scratch_dir.h"
#include "web_config.h"
#include "web_guard_files.h"

namespace qiraoid {
namespace {

const char kPage[] = "# TYPE qiraoid_rounds_total counter\nqiraoid_rounds_total{device=\"12\"} 7\n";
const char kContentType[] = "text/plain; version=0.0.4; charset=utf-8";
const char kHalfRequest[] = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n";

std::vector<Route> PageRoute() { return {{"/metrics", kContentType, [] { return std::string(kPage); }}}; }

class Served {
 public:
  explicit Served(const ServerLimits& limits, WebGuard guard = {})
      : server_(ListenAddress{"127.0.0.1", 0}, limits, std::move(guard)) {
    server_.Serve(PageRoute());
  }
  unsigned short port() const { return server_.port(); }

 private:
  ExporterServer server_;
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

TEST(ExporterServer, EachRouteIsServedWithItsContentTypeAndNoOtherPath) {
  ExporterServer server(ListenAddress{"127.0.0.1", 0});
  server.Serve({{"/metrics", kContentType, [] { return std::string(kPage); }},
                {"/health", "text/plain", [] { return std::string("ok\n"); }},
                {"/broken", "text/plain", []() -> std::string { throw std::runtime_error("no page"); }}});
  const struct {
    const char* method;
    const char* target;
    int status;
    const char* content_type;
    const char* body;
  } cases[] = {
      {"GET", "/metrics", 200, kContentType, kPage},
      {"GET", "/metrics?name=x", 200, kContentType, kPage},
      {"GET", "/health", 200, "text/plain", "ok\n"},
      {"HEAD", "/health", 200, "text/plain", ""},
      {"GET", "/", 404, "text/plain; charset=utf-8", "only /metrics, /health, /broken are served here\n"},
      {"POST", "/metrics", 405, "text/plain; charset=utf-8", "only GET and HEAD are served\n"},
      {"GET", "/broken", 500, "text/plain; charset=utf-8", "the page could not be made\n"},
  };
  for (const auto& test : cases) {
    HttpAnswer answer = HttpRequest(server.port(), test.method, test.target);
    EXPECT_EQ(answer.status, test.status) << test.method << " " << test.target;
    EXPECT_EQ(answer.headers["content-type"], test.content_type) << test.method << " " << test.target;
    EXPECT_EQ(answer.body, test.body) << test.method << " " << test.target;
  }
}

TEST(ExporterServer, OnePathIsNamedAloneAndABoundPortIsRefused) {
  ExporterServer server(ListenAddress{"127.0.0.1", 0});
  server.Serve(PageRoute());
  EXPECT_EQ(HttpRequest(server.port(), "GET", "/").body, "only /metrics is served here\n");
  const std::string port = std::to_string(server.port());
  try {
    ExporterServer second(ListenAddress{"127.0.0.1", server.port()});
    ADD_FAILURE() << "a second server listens on port " << port;
  } catch (const ExporterError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("cannot serve metrics on 127.0.0.1:" + port + ": ", 0), 0u) << error.what();
  }
}

TEST(ExporterServer, ScrapeIsAnsweredBesideTwoHundredIdleAndHalfSentConnections) {
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

TEST(ExporterServer, RequestHeaderOverTheSizeLimitIsRefused) {
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

TEST(ExporterServer, ClientTooSlowWithItsRequestIsClosed) {
  ServerLimits limits;
  limits.request_time = std::chrono::milliseconds(50);  // the test waits for it, not the other way round
  const Served served(limits);
  for (const std::string sent : {"", "GET /metr", kHalfRequest}) {
    EXPECT_TRUE(Client(served.port(), sent).ClosedByServer()) << '"' << sent << '"';
  }
}

TEST(ExporterServer, EmptyHostListensOnAllInterfaces) {
  const struct {
    const char* text;
    const char* host;
  } addresses[] = {{":9116", ""}, {"localhost:9116", "127.0.0.1"}, {"[::1]:9116", "::1"}, {"0.0.0.0:9116", "0.0.0.0"}};
  for (const auto& address : addresses) {
    EXPECT_EQ(ListenAddressProblem(address.text), "") << address.text;
    EXPECT_EQ(ParseListenAddress(address.text).host, address.host) << address.text;
    EXPECT_EQ(ParseListenAddress(address.text).port, 9116) << address.text;
  }
  ExporterServer server(ListenAddress{"", 0});
  server.Serve(PageRoute());
  EXPECT_TRUE(server.host() == "::" || server.host() == "0.0.0.0") << server.host();
  EXPECT_EQ(HttpRequest(server.port(), "GET", "/metrics").body, kPage) << "not reached on 127.0.0.1";
}

std::string BasicAuthorization(const std::string& user_and_password) {
  std::string encoded(4 * ((user_and_password.size() + 2) / 3) + 1, '\0');
  const int size = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                   reinterpret_cast<const unsigned char*>(user_and_password.data()),
                                   static_cast<int>(user_and_password.size()));
  encoded.resize(static_cast<std::size_t>(size));
  return "Basic " + encoded;
}

TEST(ExporterServer, WebConfigurationServesHttpsToKnownUsersOnly) {
  ScratchDir dir;
  const CertificateFiles certificate = WriteSelfSignedCertificate(dir.path());
  const std::string config = dir.Write("web.yml", "tls_server_config:\n  cert_file: cert.pem\n  key_file: key.pem\n"
                                                  "basic_auth_users:\n  alice: " + BcryptHash("right horse") +
                                                  "\n  bob: " + BcryptHash("staple") + "\n");
  WebGuard guard;
  ASSERT_EQ(ReadWebConfig(config, "zrmhost", &guard), std::vector<std::string>{});
  const Served served(ServerLimits{}, std::move(guard));

  const struct {
    const char* what;
    std::string authorization;  // "" for none
    int status;
  } cases[] = {
      {"no user", "", 401},
      {"the right password", BasicAuthorization("alice:right horse"), 200},
      {"another user's password", BasicAuthorization("alice:staple"), 401},
      {"the other user", BasicAuthorization("bob:staple"), 200},
      {"a wrong password", BasicAuthorization("alice:right hors"), 401},
      {"an unknown user", BasicAuthorization("carol:right horse"), 401},
      {"no colon", BasicAuthorization("alice"), 401},
      {"the scheme in lower case", "basic " + BasicAuthorization("alice:right horse").substr(6), 200},
      {"another scheme", "Bearer " + BasicAuthorization("alice:right horse").substr(6), 401},
      {"not base64", "Basic !!!!", 401},
  };
  for (const auto& test : cases) {
    std::vector<std::pair<std::string, std::string>> headers;
    if (!test.authorization.empty()) headers.emplace_back("Authorization", test.authorization);
    HttpAnswer answer = HttpsRequest(served.port(), certificate.cert, "GET", "/metrics", headers);
    EXPECT_EQ(answer.status, test.status) << test.what;
    if (test.status == 200) {
      EXPECT_EQ(answer.body, kPage) << test.what;
    } else {
      EXPECT_EQ(answer.headers["www-authenticate"], "Basic") << test.what;
      EXPECT_EQ(answer.body.find("qiraoid_"), std::string::npos) << test.what;
    }
  }
  EXPECT_EQ(HttpRequest(served.port(), "GET", "/metrics").status, 0) << "plain HTTP answered on the TLS port";
}

}  // namespace
}  // namespace qiraoid
