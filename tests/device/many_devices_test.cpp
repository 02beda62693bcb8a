// A thousand devices in one process, as a host serving a large site runs them: each starts its
// sampling thread, walks the real agent and completes a round in alarm mode, holding at most two
// descriptors while it walks; then all stop, leaving no thread and no descriptor behind.
#include <sys/resource.h>

#include <dirent.h>
#include <pthread.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cabinet_agent.h"
#include "net_snmp_library.h"
#include "qiraoid_probe.h"
#include "standin_host.h"
#include "test_device.h"

namespace qiraoid {
namespace {

constexpr int kDevices = 1000;
constexpr int kAddresses = 250;  // device i walks the cabinet at address i % kAddresses
constexpr size_t kDescriptorsPerDevice = 2;  // its stop eventfd; its session's socket during a pass
constexpr int kSurgeColumn = 324;  // signal 82

// Columns 1 and 324 of each address only: a walk is one bulk exchange, so a thousand walks keep
// one agent busy for seconds rather than the minutes of a thousand full tables.
std::string SmallTables() {
  std::string values;
  for (int address = 0; address < kAddresses; ++address) {
    values += std::to_string(address) + ".1 " + std::to_string(address) + ".5\n";
    values += std::to_string(address) + ".324 1\n";
  }
  return values;
}

std::vector<int> AllAddresses() {
  std::vector<int> addresses(kAddresses);
  std::iota(addresses.begin(), addresses.end(), 0);
  return addresses;
}

size_t EntriesOf(const char* directory) {  // less "." and ".."
  DIR* dir = opendir(directory);
  if (dir == nullptr) return 0;
  size_t entries = 0;
  while (readdir(dir) != nullptr) ++entries;
  closedir(dir);
  return entries - 2;
}
size_t OpenDescriptors() { return EntriesOf("/proc/self/fd") - 1; }  // less the listing's own

// The devices' own threads are told from every other thread of the process by name: a new thread
// takes the name of the thread that starts it, and the devices are started on a thread named so
// for the time. A count of all threads would be off whenever one that ended before is still
// listed, as under qemu-user a joined thread's host thread can be for a while.
constexpr char kDeviceThreadName[] = "qiraoid-devices";  // at most 15 characters

std::string ThreadName(const std::string& task) {
  std::ifstream comm("/proc/self/task/" + task + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

size_t DeviceThreads() {
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  size_t named = 0;
  while (const dirent* task = readdir(tasks)) {
    if (task->d_name[0] != '.' && ThreadName(task->d_name) == kDeviceThreadName) ++named;
  }
  closedir(tasks);
  return named;
}

// Device threads still listed once none is, or after a minute: a thread that has been joined
// can stay listed for a moment, longer on a loaded machine.
size_t DeviceThreadsOnceGone() {
  for (int wait = 0; wait < 1200 && DeviceThreads() != 0; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return DeviceThreads();
}

// Threads started on the calling thread until this ends take `name`.
class ThreadsNamed {
 public:
  explicit ThreadsNamed(const char* name) {
    pthread_getname_np(pthread_self(), previous_, sizeof previous_);
    pthread_setname_np(pthread_self(), name);
  }
  ~ThreadsNamed() { pthread_setname_np(pthread_self(), previous_); }
  ThreadsNamed(const ThreadsNamed&) = delete;
  ThreadsNamed& operator=(const ThreadsNamed&) = delete;

 private:
  char previous_[16] = {};
};

// VmSize from /proc/self/status, in KiB.
long AddressSpaceKiB() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmSize: %ld kB", &kib) == 1) break;
  }
  std::fclose(status);
  return kib;
}

// As a host does before it starts many devices: the soft limit up to the hard one.
void RaiseDescriptorLimit(rlim_t needed) {
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  ASSERT_GE(limit.rlim_max, needed) << "the hard descriptor limit is too low for this test";
  limit.rlim_cur = limit.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0) << std::strerror(errno);
}

float Column(const std::string& record, int column) {
  float value;
  std::memcpy(&value, record.data() + 4 + 4 * (column - 1), sizeof value);
  return value;
}

// What the host received from each device: its first record, how many, and whether signal 82
// was raised.
class Receipts : public standin::HostListener {
 public:
  void OnPublished(ZRMVDevice& device, const std::string& record) override {
    std::lock_guard<std::mutex> guard(mutex_);
    first_record_.emplace(&device, record);
    ++records_[&device];
  }
  void OnAlarm(ZRMVDevice& device, const standin::AlarmTransition& alarm) override {
    std::lock_guard<std::mutex> guard(mutex_);
    if (alarm.signal_no == 82 && alarm.active) surge_raised_[&device] = true;
  }
  // A round's alarms come after its record: a device is settled once its first round raised the
  // surge alarm or a second round came.
  size_t devices_settled() {
    std::lock_guard<std::mutex> guard(mutex_);
    size_t settled = 0;
    for (const auto& [device, records] : records_) settled += surge_raised_.count(device) != 0 || records > 1;
    return settled;
  }
  std::string first_record(const ZRMVDevice& device) {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = first_record_.find(&device);
    return found == first_record_.end() ? std::string() : found->second;
  }
  bool surge_raised(const ZRMVDevice& device) {
    std::lock_guard<std::mutex> guard(mutex_);
    return surge_raised_.count(&device) != 0;
  }

 private:
  std::mutex mutex_;
  std::map<const ZRMVDevice*, std::string> first_record_;
  std::map<const ZRMVDevice*, size_t> records_;
  std::map<const ZRMVDevice*, bool> surge_raised_;
};

TEST(ManyDevices, AThousandStartWalkCompleteARoundAndStopCleanly) {
  RaiseDescriptorLimit(kDevices * kDescriptorsPerDevice + 256);
  CabinetAgent agent({AllAddresses(), true}, SmallTables());
  standin::SetJournalKept(false);
  Receipts receipts;
  standin::SetListener(&receipts);
  EnsureNetSnmpReady();
  // ThreadSanitizer starts its helper thread with the first thread; not under the devices' name.
  std::thread([] {}).join();
  const size_t descriptors_at_start = OpenDescriptors();
  testing::internal::CaptureStdout();  // the devices' log lines
  const size_t descriptors_before = OpenDescriptors();
  const long address_space_before = AddressSpaceKiB();

  std::vector<std::unique_ptr<QiraoidProbe>> devices;
  {
    ThreadsNamed device_threads(kDeviceThreadName);
    for (int i = 0; i < kDevices; ++i) {
      devices.push_back(std::make_unique<QiraoidProbe>());
      QiraoidProbe& device = *devices.back();
      InitHostSide(device, 1000 + i,
                   R"({"agent":")" + agent.address() + R"(","address":)" + std::to_string(i % kAddresses) + "}");
      device.AskForRepetitions(100);
      // A thousand requests at once overrun the agent's socket buffer; the lost ones are asked
      // again after this time-out rather than the default 10 s.
      device.ReadAccess(ParseJson(R"({"timeout_seconds":"2"})"));
      ASSERT_EQ(device.InitSetting(ParseJson(R"({"appSetting":{"b_mode":"2"}})")), 1) << "device " << i;
    }
  }
  size_t peak_descriptors = OpenDescriptors();
  while (receipts.devices_settled() < devices.size()) {
    peak_descriptors = std::max(peak_descriptors, OpenDescriptors());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const long address_space = AddressSpaceKiB() - address_space_before;
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(DeviceThreads(), devices.size());
  EXPECT_LE(peak_descriptors - descriptors_before, kDevices * kDescriptorsPerDevice);

  for (int i = 0; i < kDevices; ++i) {
    const std::string record = receipts.first_record(*devices[i]);
    ASSERT_EQ(record.size(), 5599u);
    EXPECT_EQ(Column(record, 1), i % kAddresses + 0.5f) << "device " << i << " walked another table";
    EXPECT_EQ(Column(record, kSurgeColumn), 1.0f) << "device " << i;
    EXPECT_EQ(Column(record, 2), 0.0f) << "device " << i << ": a column the agent does not have";
    EXPECT_TRUE(receipts.surge_raised(*devices[i])) << "device " << i;
  }

  devices.clear();
  EXPECT_EQ(DeviceThreadsOnceGone(), 0u);
  EXPECT_EQ(OpenDescriptors(), descriptors_at_start);
  standin::SetListener(nullptr);
  std::cerr << kDevices << " devices: address space " << address_space / 1024 << " MiB ("
            << address_space / kDevices << " KiB per device), at most "
            << peak_descriptors - descriptors_before << " descriptors\n";
}

}  // namespace
}  // namespace qiraoid
