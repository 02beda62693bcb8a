// The known key a mistyped one was probably meant to be, for "did you mean ...?".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qiraoid {

// The known key closest to `key` in edits (insertions, deletions, substitutions, swaps of two
// neighbours; letter case does not count), when it is close enough to be a slip: at most one edit
// in four characters, and at least one. The first of equally close keys wins.
std::optional<std::string> NearestKey(const std::string& key, const std::vector<std::string>& known);

}  // namespace qiraoid
