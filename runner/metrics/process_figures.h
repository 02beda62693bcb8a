// The runner's own process as Prometheus' standard process metrics tell it, read on Linux from
// /proc as the exporters do. ReadProcessFigures may be called from any thread (each call reads
// anew); ParseProcessStat is pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qiraoid {

// The fields of /proc/self/stat the metrics need, as the kernel counts them.
struct ProcessStat {
  uint64_t user_ticks = 0;
  uint64_t system_ticks = 0;
  uint64_t start_ticks = 0;  // since boot
  uint64_t virtual_bytes = 0;
  uint64_t resident_pages = 0;
};

// Nothing when the text is not a stat line. The command name may hold spaces and parentheses:
// the fields are read after the last ')'.
std::optional<ProcessStat> ParseProcessStat(std::string_view text);

struct ProcessFigures {
  double cpu_seconds = 0;
  uint64_t virtual_bytes = 0;
  uint64_t resident_bytes = 0;
  double start_time_seconds = 0;  // since the epoch
  uint64_t open_fds = 0;
  uint64_t max_fds = 0;  // the soft limit
};

// Nothing when /proc cannot be read as expected.
std::optional<ProcessFigures> ReadProcessFigures();

}  // namespace qiraoid
