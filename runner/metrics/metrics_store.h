// What the metrics page shows of each device as the host received it: the last round's values
// and time, the rounds so far, and each alarm signal's last reported state. As the host's
// listener it is written by the devices' threads; Snapshot may be called from any thread. Each
// device has a lock of its own, held only to copy, so a scrape holds up one device at a time, briefly.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "metrics_page.h"
#include "mutex.h"
#include "standin_host.h"

namespace qiraoid {

class MetricsStore : public standin::HostListener {
 public:
  explicit MetricsStore(const std::vector<uint32_t>& devices);

  void OnPublished(ZRMVDevice& device, const std::string& record) override;
  void OnSignal(ZRMVDevice& device, const standin::SignalReport& state) override;

  // The devices in the order given, without driver figures.
  std::vector<DeviceMetrics> Snapshot() const;

 private:
  struct Entry {
    mutable Mutex mutex;
    DeviceMetrics metrics GUARDED_BY(mutex);
    std::map<unsigned short, SignalState> signals GUARDED_BY(mutex);
  };
  Entry* Find(const ZRMVDevice& device) const;

  std::vector<std::unique_ptr<Entry>> entries_;
  std::map<uint32_t, Entry*> by_id_;  // fixed once made
};

}  // namespace qiraoid
