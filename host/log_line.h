// Writes one log line to standard output in a single write, so lines from many devices and
// threads never interleave, and flushes it at once.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

inline void WriteLogLine(std::string line) {
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

// Joins the parts with nothing between them, the way the log lines are written.
template <typename... Parts>
void LogLine(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  WriteLogLine(out.str());
}
