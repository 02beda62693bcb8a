// A loaded plug-in: its provider list and the devices made by it. Closing follows the host's
// order: every device is deleted (its destructor stops its thread), then the provider list is
// released, then the library is unloaded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "provider.h"
#include "zrm_socket_device.h"

namespace qiraoid {

class PluginLibrary {
 public:
  // Throws RunnerError: the loader's text for a file it cannot load, or a library without
  // get_providers or without a device provider.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // A new device from the first device provider, owned by this library until DeleteDevices.
  ZRMSocketDevice& CreateDevice();
  void DeleteDevices();
  // The library's symbol of that name, or null.
  void* Symbol(const char* name) const;

 private:
  std::string path_;
  void* handle_ = nullptr;
  std::vector<std::shared_ptr<Provider>> providers_;
  ZRMSocketDeviceProvider* device_provider_ = nullptr;
  std::vector<std::unique_ptr<ZRMSocketDevice>> devices_;
};

}  // namespace qiraoid
