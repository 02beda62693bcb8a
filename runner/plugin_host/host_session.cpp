#include "host_session.h"

#include <exception>
#include <memory>

#include "descriptor_limit.h"
#include "runner_error.h"
#include "settings_check.h"

class ZRMController;

namespace qiraoid {

namespace {

// The device's exception is passed on as the host would see it; this names the settings the device
// could not have read.
std::string Explanation(const Json::Value& config) {
  const std::vector<std::string> unreadable = UnreadableSettings(config);
  if (unreadable.empty()) return "";
  std::string text = " (";
  for (std::size_t index = 0; index < unreadable.size(); ++index) {
    text += (index == 0 ? "" : "; ") + unreadable[index];
  }
  return text + ", where text or a number is read)";
}

}  // namespace

HostSession::HostSession(const std::string& plugin, const std::vector<DeviceConfig>& devices,
                         standin::HostListener& listener, DriverLink* link, DriverWatcher* watcher)
    : registration_(listener), library_(plugin), link_(link) {
  RaiseDescriptorLimit();
  if (link != nullptr) link->Bind(library_);
  for (const DeviceConfig& config : devices) Start(config, link, watcher);
}

void HostSession::Stop() {
  if (link_ != nullptr) {
    for (ZRMSocketDevice* device : devices_) link_->Stop(*device);
  }
  devices_.clear();
  library_.DeleteDevices();
}

void HostSession::Start(const DeviceConfig& config, const DriverLink* link, DriverWatcher* watcher) {
  const std::string name = "device " + std::to_string(config.id);
  ZRMSocketDevice& device = library_.CreateDevice();
  devices_.push_back(&device);
  if (link != nullptr && watcher != nullptr) link->Watch(device, watcher);
  int init = 0;
  try {
    init = device.Init(std::weak_ptr<ZRMController>(), config.id, config.json);
  } catch (const std::exception& error) {
    throw RunnerError(name + ": Init threw: " + error.what());
  }
  if (init < 0) throw RunnerError(name + ": Init refused its configuration (" + std::to_string(init) + ")");
  int setting = 0;
  try {
    setting = device.InitSetting(config.json);
  } catch (const std::exception& error) {
    throw RunnerError(name + ": InitSetting threw: " + error.what() + Explanation(config.json));
  }
  if (setting < 0) {
    throw RunnerError(name + ": InitSetting refused its configuration (" + std::to_string(setting) + ")");
  }
}

}  // namespace qiraoid
