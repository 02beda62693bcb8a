#include "metrics_server.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <thread>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include "gzip_text.h"
#include "metrics_page.h"
#include "runner_error.h"

namespace qiraoid {

namespace {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

constexpr auto kRequestTimeLimit = std::chrono::seconds(10);   // to send a whole request
constexpr auto kAnswerTimeLimit = std::chrono::seconds(60);    // to take a whole page
constexpr std::size_t kRequestLimit = 16 * 1024;               // header and body
constexpr int kMostConnections = 32;
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

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(tcp::socket socket, const MetricsServer::Page& page, int& open)
      : stream_(std::move(socket)), page_(page), open_(open) {
    ++open_;
  }
  ~Connection() { --open_; }

  void ReadRequest() {
    parser_.emplace();
    parser_->header_limit(kRequestLimit);
    parser_->body_limit(kRequestLimit);
    stream_.expires_after(kRequestTimeLimit);
    http::async_read(stream_, buffer_, *parser_,
                     [self = shared_from_this()](beast::error_code error, std::size_t) {
                       if (!error) self->Answer(self->parser_->get());
                     });
  }

 private:
  using Request = http::request<http::string_body>;

  void Answer(const Request& request) {
    if (request.method() != http::verb::get && request.method() != http::verb::head) {
      auto response = Text(request, http::status::method_not_allowed, "only GET and HEAD are served\n");
      response.set(http::field::allow, "GET, HEAD");
      return Send(std::move(response), request.keep_alive());
    }
    if (PathOf(request.target()) != "/metrics") {
      return Send(Text(request, http::status::not_found, "only /metrics is served here\n"), request.keep_alive());
    }
    http::response<http::string_body> response{http::status::ok, request.version()};
    response.set(http::field::content_type, kMetricsContentType);
    response.set(http::field::vary, "Accept-Encoding");
    std::string page;
    try {
      page = page_();
    } catch (const std::exception& error) {
      return Send(Text(request, http::status::internal_server_error, "the page could not be made\n"), false);
    }
    if (AcceptsGzip(request[http::field::accept_encoding])) {
      page = Gzip(page);
      response.set(http::field::content_encoding, "gzip");
    }
    if (request.method() == http::verb::head) {
      http::response<http::empty_body> head{response.base()};
      head.content_length(page.size());
      return Send(std::move(head), request.keep_alive());
    }
    response.body() = std::move(page);
    response.prepare_payload();
    Send(std::move(response), request.keep_alive());
  }

  static http::response<http::string_body> Text(const Request& request, http::status status, const char* text) {
    http::response<http::string_body> response{status, request.version()};
    response.set(http::field::content_type, "text/plain; charset=utf-8");
    response.body() = text;
    response.prepare_payload();
    return response;
  }

  template <typename Body>
  void Send(http::response<Body>&& answer, bool keep_alive) {
    auto response = std::make_shared<http::response<Body>>(std::move(answer));
    response->keep_alive(keep_alive);
    stream_.expires_after(kAnswerTimeLimit);
    http::async_write(stream_, *response,
                      [self = shared_from_this(), response, keep_alive](beast::error_code error, std::size_t) {
                        if (error) return;
                        if (keep_alive) return self->ReadRequest();
                        beast::error_code ignored;
                        self->stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
                      });
  }

  beast::tcp_stream stream_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  const MetricsServer::Page& page_;
  int& open_;
};

}  // namespace

class MetricsServer::Impl {
 public:
  explicit Impl(const MetricsAddress& address) : acceptor_(io_) {
    const std::string where = "cannot serve metrics on " + address.host + ":" + std::to_string(address.port) + ": ";
    beast::error_code error;
    const tcp::endpoint endpoint(net::ip::make_address(address.host, error), address.port);
    if (!error) acceptor_.open(endpoint.protocol(), error);
    if (!error) acceptor_.set_option(net::socket_base::reuse_address(true), error);
    if (!error) acceptor_.bind(endpoint, error);
    if (!error) acceptor_.listen(net::socket_base::max_listen_connections, error);
    if (error) throw RunnerError(where + error.message());
  }

  void Serve(Page page) {
    page_ = std::move(page);
    Accept();
    thread_ = std::thread([this] { io_.run(); });
  }

  ~Impl() {
    io_.stop();
    if (thread_.joinable()) thread_.join();
  }

  unsigned short port() const { return acceptor_.local_endpoint().port(); }

 private:
  void Accept() {
    acceptor_.async_accept(io_, [this](beast::error_code error, tcp::socket socket) {
      if (error == net::error::operation_aborted) return;
      if (error) return AcceptLater();  // out of descriptors, say: no busy loop
      // Beyond the cap a new connection is closed at once: descriptors are the devices' too.
      if (open_ < kMostConnections) std::make_shared<Connection>(std::move(socket), page_, open_)->ReadRequest();
      Accept();
    });
  }

  void AcceptLater() {
    retry_.expires_after(kAcceptRetry);
    retry_.async_wait([this](beast::error_code error) {
      if (!error) Accept();
    });
  }

  Page page_;
  int open_ = 0;  // connections alive; touched on the server's thread only
  net::io_context io_{1};
  tcp::acceptor acceptor_;
  net::steady_timer retry_{io_};
  std::thread thread_;
};

MetricsServer::MetricsServer(const MetricsAddress& address) : impl_(std::make_unique<Impl>(address)) {}

void MetricsServer::Serve(Page page) { impl_->Serve(std::move(page)); }

MetricsServer::~MetricsServer() = default;

unsigned short MetricsServer::port() const { return impl_->port(); }

}  // namespace qiraoid
