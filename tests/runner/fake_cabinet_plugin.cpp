// A cabinet plug-in for the runner's tests, with no network: each device completes rounds from
// its own thread with values made from its address and round number.
//
// Agent text: "fake:<period ms>" walks at once and then every period; "fake<n>:<period ms>"
// completes n rounds and then stays quiet; any other host ("silent:161") never completes one; no
// agent never walks. Round r of the device at address a holds c1 = r, ck = a + k/2 for the other columns,
// except c324 = 1 in odd rounds and 0 in even ones, and c325 = 0. In mode 2 it reports signals 1 (column 241,
// always set), 82 (column 324) and 83 (column 325, never set).
//
// The device, the provider and the library itself log when they go, and the device when it is asked
// to stop polling before it goes (qiraoid_stop_driver, as the real plug-in exports it), so tests
// can see the order.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log_line.h"
#include "provider.h"
#include "snmp_qiraoid_data.h"
#include "uni_data_device.h"
#include "zrm_socket_device.h"

namespace {

struct Cadence {
  bool walks = false;
  int period_ms = 0;
  int rounds = -1;  // -1: without end
};

// The agent is a host name and port, as the runner accepts only agent addresses.
Cadence ReadCadence(const std::string& agent) {
  Cadence cadence;
  if (agent.rfind("fake", 0) != 0) return cadence;
  const std::size_t colon = agent.find(':');
  if (colon == std::string::npos) return cadence;
  cadence.walks = true;
  cadence.period_ms = std::atoi(agent.c_str() + colon + 1);
  if (colon > 4) cadence.rounds = std::atoi(agent.substr(4, colon - 4).c_str());
  return cadence;
}

class FakeCabinetDevice : public UniDataDevice<SNMP_QIRAOID_Data_t, ZRMSocketDevice, 0> {
 public:
  ~FakeCabinetDevice() override {
    {
      std::lock_guard<std::mutex> guard(stop_mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    if (thread_.joinable()) thread_.join();
    LogLine("fake device ", data_id_, " deleted");
  }

  int InitSetting(const Json::Value& config) override {
    const int result = UniDataDevice::InitSetting(config);
    const Cadence cadence = ReadCadence(peer_address_);
    if (!peer_address_.empty()) thread_ = std::thread([this, cadence] { Sample(cadence); });
    return result;
  }

  int process_data(int, unsigned char*, int) override { return 0; }

  void StopPolling() {
    LogLine("fake device ", data_id_, " asked to stop");
    {
      std::lock_guard<std::mutex> guard(stop_mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
  }

  void RunCheckThreshold() override {
    if (b_mode_ != 2) return;
    Report(1, "120830010010", "第一路U1上上限", 241);
    Report(82, "120830170820", "第一路防雷状态", 324);
    Report(83, "120830170830", "第二路防雷状态", 325);
  }

 private:
  void Report(unsigned short signal, const std::string& id, const std::string& name, int column) {
    CheckThresholdBool(0, id, id, name, name, data_.value[column - 1] != 0.0f, signal);
  }

  void Walk(int round) {
    auto guard = GuardRecord();
    for (int k = 1; k <= kQiraoidColumns; ++k) data_.value[k - 1] = device_address_ + k * 0.5f;
    data_.value[0] = static_cast<float>(round);
    data_.value[323] = round % 2 == 1 ? 1.0f : 0.0f;
    data_.value[324] = 0.0f;
  }

  void Sample(Cadence cadence) {
    for (int round = 1; cadence.walks && (cadence.rounds < 0 || round <= cadence.rounds); ++round) {
      Walk(round);
      LogLine("fake device ", data_id_, " walked round ", round);
      RoundDone();
      if (Sleep(std::chrono::milliseconds(cadence.period_ms))) return;
    }
    Sleep(std::chrono::hours(24));
  }

  // True when the device is being deleted.
  bool Sleep(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(stop_mutex_);
    return stop_.wait_for(lock, duration, [this] { return stopping_; });
  }

  std::mutex stop_mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};

class FakeCabinetProvider : public ZRMSocketDeviceProvider {
 public:
  ~FakeCabinetProvider() override { LogLine("fake provider released"); }
  ZRMSocketDevice* create() const override { return new FakeCabinetDevice(); }
};

__attribute__((destructor)) void AnnounceUnload() { LogLine("fake plug-in unloaded"); }

}  // namespace

extern "C" std::vector<std::shared_ptr<Provider>> get_providers() {
  return {std::make_shared<Provider>(), std::make_shared<FakeCabinetProvider>()};
}

extern "C" bool qiraoid_stop_driver(ZRMVDevice* device) {
  auto* fake = dynamic_cast<FakeCabinetDevice*>(device);
  if (fake == nullptr) return false;
  fake->StopPolling();
  return true;
}
