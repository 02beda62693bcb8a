// A label value as the Prometheus text format writes it: backslash, double quote and line feed
// escaped, nothing else. The metrics page and the column map's series write theirs so.
#pragma once

#include <string>

namespace qiraoid {

// Appends to the text being written, which a page of millions of samples needs.
void AppendLabelValue(std::string& out, const std::string& text);
std::string LabelValue(const std::string& text);

}  // namespace qiraoid
