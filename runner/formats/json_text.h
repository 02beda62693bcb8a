// Text as a JSON string literal, written by jsoncpp: quotes, backslashes and control characters
// escaped, other UTF-8 kept as it is.
#pragma once

#include <string>

namespace qiraoid {

std::string JsonQuoted(const std::string& text);

}  // namespace qiraoid
