// An HTTP/1.1 client for tests (Boost.Beast), plain or over TLS: one request on a new connection to
// a loopback port, its whole answer, within a time limit; status 0 when nothing listens, the TLS
// handshake fails or no answer came.
#pragma once

#include <map>
#include <string>
#include <vector>

struct HttpAnswer {
  int status = 0;  // 0 when no answer came
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
};

HttpAnswer HttpRequest(unsigned short port, const std::string& method, const std::string& target,
                       const std::vector<std::pair<std::string, std::string>>& headers = {});

// The same over TLS, the server's certificate checked against the CA file for 127.0.0.1.
HttpAnswer HttpsRequest(unsigned short port, const std::string& ca_file, const std::string& method,
                        const std::string& target, const std::vector<std::pair<std::string, std::string>>& headers = {});

// Text compressed as gzip, decompressed; throws std::runtime_error when it is not gzip.
std::string Gunzip(const std::string& compressed);
