// Well-formed UTF-8 as RFC 3629 has it: no overlong forms, no surrogates, nothing above U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace qiraoid {

// The length of the well-formed UTF-8 sequence at the start of text (2-4 bytes; ASCII is not
// measured here), or 0 for none.
std::size_t Utf8Length(std::string_view text);

// Whether the whole text is well-formed UTF-8, ASCII included.
bool IsUtf8(std::string_view text);

}  // namespace qiraoid
