#include "gzip_text.h"

#include <algorithm>
#include <stdexcept>

#include <zlib.h>

namespace qiraoid {

namespace {

constexpr int kGzipWindowBits = 15 + 16;  // the largest window, with a gzip header and trailer
constexpr int kMemoryLevel = 8;           // zlib's default
constexpr std::size_t kChunk = 1 << 20;   // so lengths always fit zlib's 32-bit counters

}  // namespace

std::string Gzip(std::string_view text) {
  z_stream stream{};
  if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("zlib cannot start a gzip stream");
  }
  std::string out;
  std::size_t given = 0;
  int status = Z_OK;
  char buffer[64 * 1024];
  while (status != Z_STREAM_END) {
    if (stream.avail_in == 0 && given < text.size()) {
      const std::size_t length = std::min(kChunk, text.size() - given);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + given));
      stream.avail_in = static_cast<uInt>(length);
      given += length;
    }
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = deflate(&stream, given == text.size() ? Z_FINISH : Z_NO_FLUSH);
    if (status == Z_STREAM_ERROR) {
      deflateEnd(&stream);
      throw std::runtime_error("zlib failed to compress");
    }
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  deflateEnd(&stream);
  return out;
}

}  // namespace qiraoid
