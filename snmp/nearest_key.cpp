#include "nearest_key.h"

#include <algorithm>
#include <cctype>

namespace qiraoid {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Optimal string alignment distance (Damerau-Levenshtein without repeated edits of a substring).
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

constexpr size_t kLongestComparedKey = 64;  // longer keys are no slip of a known one

}  // namespace

std::optional<std::string> NearestKey(const std::string& key, const std::vector<std::string>& known) {
  if (key.size() > kLongestComparedKey) return std::nullopt;
  const std::string lowered = Lower(key);
  const size_t allowed = std::max<size_t>(1, key.size() / 4);
  std::optional<std::string> nearest;
  size_t best = allowed + 1;
  for (const std::string& candidate : known) {
    const size_t distance = EditDistance(lowered, Lower(candidate));
    if (distance < best) {
      best = distance;
      nearest = candidate;
    }
  }
  return nearest;
}

}  // namespace qiraoid
