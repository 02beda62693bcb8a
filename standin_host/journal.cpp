#include "journal.h"

#include <map>
#include <mutex>

namespace standin {
namespace {

struct DeviceMemory {
  std::vector<std::string> published;
  std::vector<std::string> history;
  std::map<std::string, bool> signal_states;
};

struct Memory {
  std::mutex mutex;
  std::vector<HostCall> calls;
  std::map<const ZRMVDevice*, DeviceMemory> devices;
  HostListener* listener = nullptr;
  HistoryKeeper* history_keeper = nullptr;
  bool kept = true;
};

Memory& memory() {
  static Memory instance;
  return instance;
}

HostListener* CurrentListener() {
  std::lock_guard<std::mutex> guard(memory().mutex);
  return memory().listener;
}

}  // namespace

void Journal(const ZRMVDevice* device, std::string name, std::vector<std::string> args) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  if (memory().kept) memory().calls.push_back({device, std::move(name), std::move(args)});
}

bool JournalKept() {
  std::lock_guard<std::mutex> guard(memory().mutex);
  return memory().kept;
}

void KeepPublished(ZRMVDevice& device, std::string record) {
  {
    std::lock_guard<std::mutex> guard(memory().mutex);
    if (memory().kept) memory().devices[&device].published.push_back(record);
  }
  if (HostListener* listener = CurrentListener()) listener->OnPublished(device, record);
}

void KeepHistory(const ZRMVDevice& device, uint32_t device_id, std::string record) {
  HistoryKeeper* keeper = nullptr;
  {
    std::lock_guard<std::mutex> guard(memory().mutex);
    keeper = memory().history_keeper;
    if (memory().kept) memory().devices[&device].history.push_back(record);
  }
  if (keeper != nullptr) keeper->Store(device_id, record);
}

bool ChangeSignalState(const ZRMVDevice& device, const std::string& signal_id, bool state) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  bool& last = memory().devices[&device].signal_states[signal_id];
  const bool changed = last != state;
  last = state;
  return changed;
}

void AnnounceAlarm(ZRMVDevice& device, const AlarmTransition& transition) {
  if (HostListener* listener = CurrentListener()) listener->OnAlarm(device, transition);
}

void AnnounceSignal(ZRMVDevice& device, const SignalReport& state) {
  if (HostListener* listener = CurrentListener()) listener->OnSignal(device, state);
}

void ForgetDevice(const ZRMVDevice& device) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  memory().devices.erase(&device);
  auto& calls = memory().calls;
  std::vector<HostCall> kept;
  for (auto& call : calls) {
    if (call.device != &device) kept.push_back(std::move(call));
  }
  calls.swap(kept);
}

std::vector<HostCall> CallsOf(const ZRMVDevice& device) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  std::vector<HostCall> result;
  for (const auto& call : memory().calls) {
    if (call.device == &device || call.device == nullptr) result.push_back(call);
  }
  return result;
}

void ClearCalls() {
  std::lock_guard<std::mutex> guard(memory().mutex);
  memory().calls.clear();
}

std::vector<std::string> PublishedOf(const ZRMVDevice& device) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  auto found = memory().devices.find(&device);
  return found == memory().devices.end() ? std::vector<std::string>{} : found->second.published;
}

std::vector<std::string> HistoryOf(const ZRMVDevice& device) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  auto found = memory().devices.find(&device);
  return found == memory().devices.end() ? std::vector<std::string>{} : found->second.history;
}

void SetListener(HostListener* listener) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  memory().listener = listener;
}

void SetJournalKept(bool kept) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  memory().kept = kept;
}

void SetHistoryKeeper(HistoryKeeper* keeper) {
  std::lock_guard<std::mutex> guard(memory().mutex);
  memory().history_keeper = keeper;
}

}  // namespace standin
