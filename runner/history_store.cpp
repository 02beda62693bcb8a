#include "history_store.h"

#include "history_append.h"
#include "history_file.h"
#include "line_output.h"

namespace qiraoid {

HistoryStore::HistoryStore(std::string directory, const std::vector<DeviceConfig>& configs)
    : directory_(std::move(directory)) {
  for (const auto& config : configs) {
    if (const std::optional<std::string> cut = CutTornTail(PathOf(config.id))) Diagnose(*cut);
  }
  standin::SetHistoryKeeper(this);
}

HistoryStore::~HistoryStore() { standin::SetHistoryKeeper(nullptr); }

void HistoryStore::Store(uint32_t device_id, const std::string& record) {
  Tell(device_id, AppendRecord(PathOf(device_id), record));
}

std::string HistoryStore::PathOf(uint32_t device_id) const {
  return directory_ + "/" + HistoryFileName(device_id);
}

void HistoryStore::Tell(uint32_t device_id, const std::optional<std::string>& cause) {
  const std::string device = "device " + std::to_string(device_id);
  MutexLock guard(&mutex_);
  const auto last = failing_.find(device_id);
  if (!cause) {
    if (last == failing_.end()) return;
    failing_.erase(last);
    Diagnose(device + ": storing its records in " + PathOf(device_id) + " again");
    return;
  }
  if (last != failing_.end() && last->second == *cause) return;
  failing_[device_id] = *cause;
  Diagnose(device + ": cannot store a record in " + PathOf(device_id) + ": " + *cause +
           "; the file keeps its whole records, and each round tries again");
}

}  // namespace qiraoid
