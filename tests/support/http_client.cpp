#include "http_client.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/asio/ssl/host_name_verification.hpp>
#include <boost/beast/ssl.hpp>
#include <zlib.h>

namespace beast = boost::beast;
namespace http = beast::http;
using tcp = boost::asio::ip::tcp;
namespace ssl = boost::asio::ssl;

namespace {

template <typename Stream>
HttpAnswer Exchange(Stream& stream, const std::string& method, const std::string& target,
                    const std::vector<std::pair<std::string, std::string>>& headers) {
  http::request<http::string_body> request{http::string_to_verb(method), target, 11};
  request.set(http::field::host, "127.0.0.1");
  for (const auto& [name, value] : headers) request.set(name, value);
  request.prepare_payload();
  beast::error_code error;
  http::write(stream, request, error);
  if (error) return {};
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(1ull << 32);
  parser.skip(method == "HEAD");
  http::read(stream, buffer, parser, error);
  HttpAnswer answer;
  if (error) return answer;
  const auto& response = parser.get();
  answer.status = static_cast<int>(response.result_int());
  for (const auto& field : response) {
    std::string name(field.name_string());
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    answer.headers[name] = std::string(field.value());
  }
  answer.body = response.body();
  return answer;
}

tcp::endpoint Loopback(unsigned short port) { return {boost::asio::ip::make_address("127.0.0.1"), port}; }

}  // namespace

HttpAnswer HttpRequest(unsigned short port, const std::string& method, const std::string& target,
                       const std::vector<std::pair<std::string, std::string>>& headers) {
  boost::asio::io_context io;
  beast::tcp_stream stream(io);
  stream.expires_after(std::chrono::seconds(60));
  beast::error_code error;
  stream.connect(Loopback(port), error);
  if (error) return {};
  return Exchange(stream, method, target, headers);
}

HttpAnswer HttpsRequest(unsigned short port, const std::string& ca_file, const std::string& method,
                        const std::string& target, const std::vector<std::pair<std::string, std::string>>& headers) {
  boost::asio::io_context io;
  ssl::context context(ssl::context::tls_client);
  context.load_verify_file(ca_file);
  context.set_verify_mode(ssl::verify_peer);
  beast::ssl_stream<beast::tcp_stream> stream(io, context);
  stream.set_verify_callback(ssl::host_name_verification("127.0.0.1"));
  beast::get_lowest_layer(stream).expires_after(std::chrono::seconds(60));
  beast::error_code error;
  beast::get_lowest_layer(stream).connect(Loopback(port), error);
  if (!error) stream.handshake(ssl::stream_base::client, error);
  if (error) return {};
  return Exchange(stream, method, target, headers);
}

std::string Gunzip(const std::string& compressed) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) throw std::runtime_error("inflateInit2 failed");
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(compressed.size());
  std::string text;
  char buffer[64 * 1024];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    text.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END) throw std::runtime_error("not a whole gzip stream");
  return text;
}
