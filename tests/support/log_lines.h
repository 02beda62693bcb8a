// Counting a captured log's lines, for tests that check that a line is logged once, or never.
#pragma once

#include <cstddef>
#include <string>

// How many of the log's lines hold `word`.
inline size_t LinesWith(const std::string& log, const std::string& word) {
  size_t count = 0;
  for (size_t start = 0, end; start < log.size(); start = end + 1) {
    end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    if (log.substr(start, end - start).find(word) != std::string::npos) ++count;
  }
  return count;
}
