#include "utf8_text.h"

namespace qiraoid {

std::size_t Utf8Length(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead >= 0xf0 && lead <= 0xf4 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc2 ? 2 : 0;
  if (length == 0 || text.size() < length) return 0;
  for (std::size_t at = 1; at < length; ++at) {
    if ((static_cast<unsigned char>(text[at]) & 0xc0) != 0x80) return 0;
  }
  const auto second = static_cast<unsigned char>(text[1]);
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) ||
      (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second >= 0x90)) {
    return 0;  // overlong, a surrogate or above U+10FFFF
  }
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    if (static_cast<unsigned char>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    const std::size_t length = Utf8Length(text.substr(at));
    if (length == 0) return false;
    at += length;
  }
  return true;
}

}  // namespace qiraoid
