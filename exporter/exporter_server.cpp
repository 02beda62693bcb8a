#include "exporter_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include "basic_auth.h"
#include "connection_slots.h"
#include "exporter_error.h"
#include "gzip_text.h"

namespace qiraoid {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

constexpr std::size_t kBodyLimit = 16 * 1024;
constexpr auto kAcceptRetry = std::chrono::milliseconds(100);

// Whether Accept-Encoding lists gzip (or *) without q=0.
bool AcceptsGzip(beast::string_view header) {
  std::string text(header);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string coding = text.substr(start, end - start);
    start = end + 1;
    const std::size_t semicolon = coding.find(';');
    std::string name = coding.substr(0, semicolon);
    name.erase(0, name.find_first_not_of(" \t"));
    name.erase(name.find_last_not_of(" \t") + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name != "gzip" && name != "*") continue;
    const std::string parameters = semicolon == std::string::npos ? "" : coding.substr(semicolon + 1);
    const std::size_t q = parameters.find("q=");
    if (q == std::string::npos || std::strtod(parameters.c_str() + q + 2, nullptr) > 0) return true;
  }
  return false;
}

std::string PathOf(beast::string_view target) {
  const std::string text(target);
  return text.substr(0, text.find('?'));
}

// The 404's text: "only /metrics is served here".
std::string OnlyServed(const std::vector<Route>& routes) {
  std::string paths;
  for (const Route& route : routes) paths += (paths.empty() ? "" : ", ") + route.path;
  return "only " + paths + (routes.size() == 1 ? " is" : " are") + " served here\n";
}

// One client's connection over a plain or a TLS stream.
template <typename Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
 public:
  Connection(tcp::socket socket, const std::vector<Route>& routes, const ServerLimits& limits,
             const WebGuard& guard, ConnectionSlots& slots)
      : stream_(MakeStream(std::move(socket), guard)), routes_(routes), limits_(limits), guard_(guard), slots_(slots) {}
  ~Connection() {
    if (slot_) slots_.Gone(*slot_);
  }

  // Takes a slot, closing the connection waiting longest when all are taken; false when none was
  // to be had (every connection answering), and this one is to be dropped.
  bool TakeSlot() {
    slot_ = slots_.Open([this] { Lowest().close(); });
    return slot_.has_value();
  }

  // The TLS handshake, if any, counts in the time to send the first request.
  void Start() {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      Lowest().expires_after(limits_.request_time);
      stream_.async_handshake(net::ssl::stream_base::server, [self = this->shared_from_this()](beast::error_code error) {
        if (!error) self->ReadRequest();
      });
    } else {
      ReadRequest();
    }
  }

 private:
  using Request = http::request<http::string_body>;
  enum class After { kNextRequest, kClose, kDrain };

  static Stream MakeStream(tcp::socket socket, const WebGuard& guard) {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      return Stream(std::move(socket), *guard.tls);
    } else {
      return Stream(std::move(socket));
    }
  }

  beast::tcp_stream& Lowest() { return beast::get_lowest_layer(stream_); }

  void ReadRequest() {
    slots_.Waiting(*slot_);
    parser_.emplace();
    parser_->header_limit(limits_.header_bytes);
    parser_->body_limit(kBodyLimit);
    Lowest().expires_after(limits_.request_time);
    http::async_read(stream_, buffer_, *parser_,
                     [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                       self->slots_.Answering(*self->slot_);
                       if (!error) return self->Answer(self->parser_->get());
                       if (error == http::error::header_limit) self->RefuseLongHeader();
                     });
  }

  void RefuseLongHeader() {
    http::response<http::string_body> response{http::status::request_header_fields_too_large, 11};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = "the request header is longer than " + std::to_string(limits_.header_bytes) + " bytes\n";
    response.prepare_payload();
    Send(std::move(response), After::kDrain);
  }

  void Answer(const Request& request) {
    const beast::string_view authorization = request[http::field::authorization];
    if (!guard_.users.empty() && !Authorized(guard_.users, {authorization.data(), authorization.size()})) {
      auto response = Text(request, http::status::unauthorized, "a user name and password are needed\n");
      response.set(http::field::www_authenticate, "Basic");
      return Send(std::move(response), Next(request));
    }
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      auto response = Text(request, http::status::method_not_allowed, "only GET and HEAD are served\n");
      response.set(http::field::allow, "GET, HEAD");
      return Send(std::move(response), Next(request));
    }
    const std::string path = PathOf(request.target());
    const auto route = std::find_if(routes_.begin(), routes_.end(), [&path](const Route& each) { return each.path == path; });
    if (route == routes_.end()) {
      return Send(Text(request, http::status::not_found, OnlyServed(routes_)), Next(request));
    }
    http::response<http::string_body> response{http::status::ok, request.version()};
    response.set(http::field::content_type, route->content_type);
    response.set(http::field::vary, "Accept-Encoding");
    std::string page;
    try {
      page = route->handler();
    } catch (const std::exception& error) {
      return Send(Text(request, http::status::internal_server_error, "the page could not be made\n"), After::kClose);
    }
    if (AcceptsGzip(request[http::field::accept_encoding])) {
      page = Gzip(page);
      response.set(http::field::content_encoding, "gzip");
    }
    if (request.method() == http::verb::head) {
      http::response<http::empty_body> head{response.base()};
      head.content_length(page.size());
      return Send(std::move(head), Next(request));
    }
    response.body() = std::move(page);
    response.prepare_payload();
    Send(std::move(response), Next(request));
  }

  static After Next(const Request& request) { return request.keep_alive() ? After::kNextRequest : After::kClose; }

  static http::response<http::string_body> Text(const Request& request, http::status status, const std::string& text) {
    http::response<http::string_body> response{status, request.version()};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    response.prepare_payload();
    return response;
  }

  template <typename Body>
  void Send(http::response<Body>&& answer, After after) {
    auto response = std::make_shared<http::response<Body>>(std::move(answer));
    response->keep_alive(after == After::kNextRequest);
    Lowest().expires_after(limits_.answer_time);
    http::async_write(stream_, *response,
                      [self = this->shared_from_this(), response, after](beast::error_code error, std::size_t) {
                        if (error) return;
                        if (after == After::kNextRequest) return self->ReadRequest();
                        self->EndSending(after);
                      });
  }

  // Tells the client nothing more comes: TLS's close_notify, then the socket's end of sending.
  void EndSending(After after) {
    if constexpr (std::is_same_v<Stream, TlsStream>) {
      slots_.Waiting(*slot_);  // for the client's close_notify, which may never come
      Lowest().expires_after(limits_.request_time);
      stream_.async_shutdown([self = this->shared_from_this()](beast::error_code) {});
    } else {
      beast::error_code ignored;
      stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
      if (after == After::kDrain) Drain();
    }
  }

  // Reads and drops what the client still sends, until it closes: closing with its request unread
  // would reset the connection, and the client might lose the answer. It may be closed to make room.
  void Drain() {
    slots_.Waiting(*slot_);
    Lowest().expires_after(limits_.request_time);
    stream_.async_read_some(buffer_.prepare(4096), [self = this->shared_from_this()](beast::error_code error, std::size_t) {
      if (!error) self->Drain();
    });
  }

  Stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  const std::vector<Route>& routes_;
  const ServerLimits& limits_;
  const WebGuard& guard_;
  ConnectionSlots& slots_;
  std::optional<ConnectionSlots::Id> slot_;
};

}  // namespace

class ExporterServer::Impl {
 public:
  Impl(const ListenAddress& address, const ServerLimits& limits, WebGuard guard)
      : limits_(limits), guard_(std::move(guard)), slots_(limits.connections), acceptor_(io_) {
    const std::string where = "cannot serve metrics on " + address.host + ":" + std::to_string(address.port) + ": ";
    beast::error_code error;
    if (address.host.empty()) {
      // All interfaces: IPv6 and IPv4 on one socket where the system has IPv6, IPv4 alone otherwise.
      Listen(tcp::endpoint(tcp::v6(), address.port), error);
      if (error == net::error::address_family_not_supported) Listen(tcp::endpoint(tcp::v4(), address.port), error);
    } else {
      const tcp::endpoint endpoint(net::ip::make_address(address.host, error), address.port);
      if (!error) Listen(endpoint, error);
    }
    if (error) throw ExporterError(where + error.message());
  }

  void Serve(std::vector<Route> routes) {
    routes_ = std::move(routes);
    Accept();
    thread_ = std::thread([this] { io_.run(); });
  }

  ~Impl() {
    io_.stop();
    if (thread_.joinable()) thread_.join();
  }

  unsigned short port() const { return acceptor_.local_endpoint().port(); }
  std::string host() const { return acceptor_.local_endpoint().address().to_string(); }

 private:
  void Listen(const tcp::endpoint& endpoint, beast::error_code& error) {
    acceptor_.open(endpoint.protocol(), error);
    if (!error && endpoint.protocol() == tcp::v6()) acceptor_.set_option(net::ip::v6_only(false), error);
    if (!error) acceptor_.set_option(net::socket_base::reuse_address(true), error);
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(net::socket_base::max_listen_connections, error);
  }

  void Accept() {
    acceptor_.async_accept(io_, [this](beast::error_code error, tcp::socket socket) {
      if (error == net::error::operation_aborted) return;
      if (error) return AcceptLater();  // out of descriptors, say: no busy loop
      if (guard_.tls) {
        Admit<TlsStream>(std::move(socket));
      } else {
        Admit<beast::tcp_stream>(std::move(socket));
      }
      Accept();
    });
  }

  // Beyond the cap one connection is closed: descriptors are the devices' too.
  template <typename Stream>
  void Admit(tcp::socket socket) {
    auto connection = std::make_shared<Connection<Stream>>(std::move(socket), routes_, limits_, guard_, slots_);
    if (connection->TakeSlot()) connection->Start();
  }

  void AcceptLater() {
    retry_.expires_after(kAcceptRetry);
    retry_.async_wait([this](beast::error_code error) {
      if (!error) Accept();
    });
  }

  std::vector<Route> routes_;
  const ServerLimits limits_;
  const WebGuard guard_;
  ConnectionSlots slots_;  // touched on the server's thread only; outlives the connections in io_
  net::io_context io_{1};
  tcp::acceptor acceptor_;
  net::steady_timer retry_{io_};
  std::thread thread_;
};

ExporterServer::ExporterServer(const ListenAddress& address, const ServerLimits& limits, WebGuard guard)
    : impl_(std::make_unique<Impl>(address, limits, std::move(guard))) {}

void ExporterServer::Serve(std::vector<Route> routes) { impl_->Serve(std::move(routes)); }

ExporterServer::~ExporterServer() = default;

unsigned short ExporterServer::port() const { return impl_->port(); }

std::string ExporterServer::host() const { return impl_->host(); }

}  // namespace qiraoid
