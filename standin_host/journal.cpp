#include "journal.h"

#include <map>

#include "mutex.h"

namespace standin {
namespace {

struct DeviceMemory {
  std::vector<std::string> published;
  std::vector<std::string> history;
  std::map<std::string, bool> signal_states;
};

struct Memory {
  qiraoid::Mutex mutex;
  std::vector<HostCall> calls GUARDED_BY(mutex);
  std::map<const ZRMVDevice*, DeviceMemory> devices GUARDED_BY(mutex);
  HostListener* listener GUARDED_BY(mutex) = nullptr;
  HistoryKeeper* history_keeper GUARDED_BY(mutex) = nullptr;
  bool kept GUARDED_BY(mutex) = true;
};

Memory& memory() {
  static Memory instance;
  return instance;
}

HostListener* CurrentListener() {
  qiraoid::MutexLock guard(&memory().mutex);
  return memory().listener;
}

}  // namespace

void Journal(const ZRMVDevice* device, std::string name, std::vector<std::string> args) {
  qiraoid::MutexLock guard(&memory().mutex);
  if (memory().kept) memory().calls.push_back({device, std::move(name), std::move(args)});
}

bool JournalKept() {
  qiraoid::MutexLock guard(&memory().mutex);
  return memory().kept;
}

void KeepPublished(ZRMVDevice& device, std::string record) {
  {
    qiraoid::MutexLock guard(&memory().mutex);
    if (memory().kept) memory().devices[&device].published.push_back(record);
  }
  if (HostListener* listener = CurrentListener()) listener->OnPublished(device, record);
}

void KeepHistory(const ZRMVDevice& device, uint32_t device_id, std::string record) {
  HistoryKeeper* keeper = nullptr;
  {
    qiraoid::MutexLock guard(&memory().mutex);
    keeper = memory().history_keeper;
    if (memory().kept) memory().devices[&device].history.push_back(record);
  }
  if (keeper != nullptr) keeper->Store(device_id, record);
}

bool ChangeSignalState(const ZRMVDevice& device, const std::string& signal_id, bool state) {
  qiraoid::MutexLock guard(&memory().mutex);
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
  qiraoid::MutexLock guard(&memory().mutex);
  memory().devices.erase(&device);
  auto& calls = memory().calls;
  std::vector<HostCall> kept;
  for (auto& call : calls) {
    if (call.device != &device) kept.push_back(std::move(call));
  }
  calls.swap(kept);
}

std::vector<HostCall> CallsOf(const ZRMVDevice& device) {
  qiraoid::MutexLock guard(&memory().mutex);
  std::vector<HostCall> result;
  for (const auto& call : memory().calls) {
    if (call.device == &device || call.device == nullptr) result.push_back(call);
  }
  return result;
}

void ClearCalls() {
  qiraoid::MutexLock guard(&memory().mutex);
  memory().calls.clear();
}

std::vector<std::string> PublishedOf(const ZRMVDevice& device) {
  qiraoid::MutexLock guard(&memory().mutex);
  auto found = memory().devices.find(&device);
  return found == memory().devices.end() ? std::vector<std::string>{} : found->second.published;
}

std::vector<std::string> HistoryOf(const ZRMVDevice& device) {
  qiraoid::MutexLock guard(&memory().mutex);
  auto found = memory().devices.find(&device);
  return found == memory().devices.end() ? std::vector<std::string>{} : found->second.history;
}

void SetListener(HostListener* listener) {
  qiraoid::MutexLock guard(&memory().mutex);
  memory().listener = listener;
}

void SetJournalKept(bool kept) {
  qiraoid::MutexLock guard(&memory().mutex);
  memory().kept = kept;
}

void SetHistoryKeeper(HistoryKeeper* keeper) {
  qiraoid::MutexLock guard(&memory().mutex);
  memory().history_keeper = keeper;
}

}  // namespace standin
