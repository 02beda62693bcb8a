// Text compressed as one gzip member (RFC 1952), as HTTP's Content-Encoding: gzip carries it.
#pragma once

#include <string>
#include <string_view>

namespace qiraoid {

// At zlib's fastest level: a scrape is served while the devices go on.
std::string Gzip(std::string_view text);

}  // namespace qiraoid
