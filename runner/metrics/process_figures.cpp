#include "process_figures.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <utility>

namespace qiraoid {

namespace {

// Fields counted from the state, the first after the command name (proc(5) numbers them from 3).
constexpr int kUserTime = 11;
constexpr int kSystemTime = 12;
constexpr int kStartTime = 19;
constexpr int kVirtualSize = 20;
constexpr int kResidentPages = 21;

bool ParseWhole(std::string_view field, uint64_t& value) {
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size();
}

std::string FileText(const char* path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// /proc/stat's "btime": when the system booted, in seconds since the epoch.
std::optional<uint64_t> BootTime() {
  std::istringstream in(FileText("/proc/stat"));
  for (std::string key; in >> key;) {
    if (key == "btime") {
      uint64_t seconds = 0;
      if (in >> seconds) return seconds;
      return std::nullopt;
    }
    in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return std::nullopt;
}

uint64_t OpenDescriptors() {
  std::error_code error;
  uint64_t count = 0;
  for (std::filesystem::directory_iterator entry("/proc/self/fd", error), end; !error && entry != end;
       entry.increment(error)) {
    ++count;
  }
  return count;
}

}  // namespace

std::optional<ProcessStat> ParseProcessStat(std::string_view text) {
  const std::size_t name_end = text.rfind(')');
  if (name_end == std::string_view::npos) return std::nullopt;
  std::string_view rest = text.substr(name_end + 1);
  ProcessStat stat;
  const std::pair<int, uint64_t*> wanted[] = {{kUserTime, &stat.user_ticks},       {kSystemTime, &stat.system_ticks},
                                              {kStartTime, &stat.start_ticks},     {kVirtualSize, &stat.virtual_bytes},
                                              {kResidentPages, &stat.resident_pages}};
  int field = -1;
  std::size_t next = 0;
  for (const auto& [index, value] : wanted) {
    std::string_view token;
    while (field < index) {
      const std::size_t start = rest.find_first_not_of(" \n", next);
      if (start == std::string_view::npos) return std::nullopt;
      next = std::min(rest.find_first_of(" \n", start), rest.size());
      token = rest.substr(start, next - start);
      ++field;
    }
    if (!ParseWhole(token, *value)) return std::nullopt;
  }
  return stat;
}

std::optional<ProcessFigures> ReadProcessFigures() {
  const std::optional<ProcessStat> stat = ParseProcessStat(FileText("/proc/self/stat"));
  const std::optional<uint64_t> boot = BootTime();
  const long ticks = sysconf(_SC_CLK_TCK);
  const long page = sysconf(_SC_PAGESIZE);
  rlimit limit{};
  if (!stat || !boot || ticks <= 0 || page <= 0 || getrlimit(RLIMIT_NOFILE, &limit) != 0) return std::nullopt;
  ProcessFigures figures;
  figures.cpu_seconds = static_cast<double>(stat->user_ticks + stat->system_ticks) / static_cast<double>(ticks);
  figures.virtual_bytes = stat->virtual_bytes;
  figures.resident_bytes = stat->resident_pages * static_cast<uint64_t>(page);
  figures.start_time_seconds = static_cast<double>(*boot) + static_cast<double>(stat->start_ticks) / ticks;
  figures.open_fds = OpenDescriptors();
  figures.max_fds = static_cast<uint64_t>(limit.rlim_cur);
  return figures;
}

}  // namespace qiraoid
