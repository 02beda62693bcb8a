#include "metrics_store.h"

#include <chrono>

#include "record_text.h"

namespace qiraoid {

MetricsStore::MetricsStore(const std::vector<uint32_t>& devices) {
  for (const uint32_t id : devices) {
    entries_.push_back(std::make_unique<Entry>());
    entries_.back()->metrics.id = id;
    by_id_[id] = entries_.back().get();
  }
}

MetricsStore::Entry* MetricsStore::Find(const ZRMVDevice& device) const {
  const auto found = by_id_.find(device.DataId());
  return found == by_id_.end() ? nullptr : found->second;
}

void MetricsStore::OnPublished(ZRMVDevice& device, const std::string& record) {
  Entry* entry = Find(device);
  if (entry == nullptr || record.size() != kRecordBytes) return;
  const DecodedRecord decoded = DecodeRecord(record);
  const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  MutexLock guard(&entry->mutex);
  entry->metrics.values = decoded.values;
  entry->metrics.last_round_seconds = now;
  ++entry->metrics.rounds;
}

void MetricsStore::OnSignal(ZRMVDevice& device, const standin::SignalReport& state) {
  Entry* entry = Find(device);
  if (entry == nullptr) return;
  MutexLock guard(&entry->mutex);
  entry->signals[state.signal_no] = {state.signal_no, state.signal_id, state.signal_name, state.active};
}

std::vector<DeviceMetrics> MetricsStore::Snapshot() const {
  std::vector<DeviceMetrics> devices;
  devices.reserve(entries_.size());
  for (const auto& entry : entries_) {
    MutexLock guard(&entry->mutex);
    devices.push_back(entry->metrics);
    for (const auto& [number, signal] : entry->signals) devices.back().signals.push_back(signal);
  }
  return devices;
}

}  // namespace qiraoid
