#include "listen_address.h"

#include <algorithm>
#include <cctype>

#include <boost/asio/ip/address.hpp>

namespace qiraoid {

namespace {

struct Parts {
  std::string host;
  std::string port;
};

// Splits at the last colon; an IPv6 host comes in brackets, which are removed.
bool Split(const std::string& text, Parts* parts) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  parts->host = text.substr(0, colon);
  parts->port = text.substr(colon + 1);
  if (parts->host.size() >= 2 && parts->host.front() == '[' && parts->host.back() == ']') {
    parts->host = parts->host.substr(1, parts->host.size() - 2);
  } else if (parts->host.find(':') != std::string::npos) {
    return false;  // an IPv6 address without brackets
  }
  if (parts->host == "localhost") parts->host = "127.0.0.1";
  return true;
}

bool IsPort(const std::string& text) {
  return !text.empty() && text.size() <= 5 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }) &&
         std::stoul(text) <= 65535;
}

}  // namespace

std::string ListenAddressProblem(const std::string& text) {
  Parts parts;
  if (!Split(text, &parts)) return "wants HOST:PORT (such as 127.0.0.1:9116 or [::1]:9116), not \"" + text + "\"";
  boost::system::error_code error;
  if (!parts.host.empty()) boost::asio::ip::make_address(parts.host, error);
  if (error) return "wants an IP address or localhost as HOST, not \"" + parts.host + "\"";
  if (!IsPort(parts.port)) return "wants a PORT from 0 to 65535, not \"" + parts.port + "\"";
  return "";
}

ListenAddress ParseListenAddress(const std::string& text) {
  Parts parts;
  Split(text, &parts);
  return {parts.host, static_cast<unsigned short>(std::stoul(parts.port))};
}

}  // namespace qiraoid
