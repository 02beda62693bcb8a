// The run's history (--history DIR): every record a device stores is appended to
// DIR/device-<id>.history. Made before the devices start: it cuts the torn tail a stopped run may
// have left in each configured device's file, saying so, and refuses a file that is not a history
// file. While it lives it is the stand-in host's history keeper. Store runs on device threads.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mutex.h"
#include "run_config.h"
#include "standin_host.h"

namespace qiraoid {

class HistoryStore : public standin::HistoryKeeper {
 public:
  // Throws RunnerError when a device's file cannot be made whole.
  HistoryStore(std::string directory, const std::vector<DeviceConfig>& configs);
  ~HistoryStore() override;
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  // A record that cannot be stored is told once per cause, and storing again once it works.
  void Store(uint32_t device_id, const std::string& record) override EXCLUDES(mutex_);

 private:
  std::string PathOf(uint32_t device_id) const;
  void Tell(uint32_t device_id, const std::optional<std::string>& cause) EXCLUDES(mutex_);

  const std::string directory_;
  Mutex mutex_;
  std::map<uint32_t, std::string> failing_ GUARDED_BY(mutex_);  // device -> the cause last told
};

}  // namespace qiraoid
