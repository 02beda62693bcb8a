// One host session: the plug-in loaded, the listener told of what the host receives, and every
// configured device created and started as the host does it (Init with no controller, then
// InitSetting, one device after the other). Stopping follows the host's order: the devices are
// deleted, the provider list released, the library unloaded; the listener is removed last. With a
// link, every device is asked to end its polling first, so that all wind down at once.
// Threads: construct and Stop on one thread (the runner's main thread); device() may be called
// from others (the metrics server) while no Stop runs. The listener is called from the devices'
// own threads in between.
#pragma once

#include <string>
#include <vector>

#include "driver_link.h"
#include "plugin_library.h"
#include "run_config.h"
#include "standin_host.h"

namespace qiraoid {

class HostSession {
 public:
  // Throws RunnerError when the plug-in cannot be loaded or a device does not start. With a link,
  // it is bound to the plug-in before any device starts, and each device is given the watcher
  // before its InitSetting.
  HostSession(const std::string& plugin, const std::vector<DeviceConfig>& devices,
              standin::HostListener& listener, DriverLink* link = nullptr, DriverWatcher* watcher = nullptr);
  ~HostSession() { Stop(); }

  // The device made for devices[index], until Stop.
  ZRMSocketDevice& device(std::size_t index) { return *devices_.at(index); }
  void Stop();

 private:
  // Sets the listener for the session's lifetime; declared first, so it is removed last.
  class ListenerRegistration {
   public:
    explicit ListenerRegistration(standin::HostListener& listener) { standin::SetListener(&listener); }
    ~ListenerRegistration() { standin::SetListener(nullptr); }
  };

  void Start(const DeviceConfig& config, const DriverLink* link, DriverWatcher* watcher);

  ListenerRegistration registration_;
  PluginLibrary library_;
  const DriverLink* link_;
  std::vector<ZRMSocketDevice*> devices_;
};

}  // namespace qiraoid
