#include "host_session.h"

#include <exception>
#include <memory>

#include "runner_error.h"

class ZRMController;

namespace qiraoid {

HostSession::HostSession(const std::string& plugin, const std::vector<DeviceConfig>& devices,
                         standin::HostListener& listener)
    : registration_(listener), library_(plugin) {
  for (const DeviceConfig& config : devices) Start(config);
}

void HostSession::Stop() {
  devices_.clear();
  library_.DeleteDevices();
}

void HostSession::Start(const DeviceConfig& config) {
  const std::string name = "device " + std::to_string(config.id);
  ZRMSocketDevice& device = library_.CreateDevice();
  devices_.push_back(&device);
  try {
    const int init = device.Init(std::weak_ptr<ZRMController>(), config.id, config.json);
    if (init < 0) throw RunnerError(name + ": Init refused its configuration (" + std::to_string(init) + ")");
    const int setting = device.InitSetting(config.json);
    if (setting < 0) {
      throw RunnerError(name + ": InitSetting refused its configuration (" + std::to_string(setting) + ")");
    }
  } catch (const RunnerError&) {
    throw;
  } catch (const std::exception& error) {
    throw RunnerError(name + ": starting it threw: " + error.what());
  }
}

}  // namespace qiraoid
