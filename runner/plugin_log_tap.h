// PluginLogTap: the plug-in writes its log lines to fd 1 (already pointed at standard error).
// The tap puts a pipe there, passes every line on to standard error as it comes, and keeps each
// device's last failing cause ("device N agent A: failing: CAUSE"), forgotten once the device says
// it answers again. Its reader runs on a thread of its own; LastCause may be called from any thread.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qiraoid {

class PluginLogTap {
 public:
  PluginLogTap();   // throws RunnerError when no pipe can be had
  ~PluginLogTap();  // points fd 1 back at standard error, passes on what is left, joins
  PluginLogTap(const PluginLogTap&) = delete;
  PluginLogTap& operator=(const PluginLogTap&) = delete;

  std::optional<std::string> LastCause(uint32_t device) const;

 private:
  void Pump();
  void Take(const std::string& line);

  int read_end_ = -1;
  mutable std::mutex mutex_;
  std::map<uint32_t, std::string> causes_;
  std::thread reader_;
};

}  // namespace qiraoid
