#include "plugin_library.h"

#include <exception>

#include <dlfcn.h>

#include "runner_error.h"

namespace qiraoid {

namespace {

using GetProviders = std::vector<std::shared_ptr<Provider>> (*)();

// dlopen searches the library path for a bare file name; the user means the file they named.
std::string AsFilePath(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

std::string LoaderError() {
  const char* text = ::dlerror();
  return text != nullptr ? text : "unknown loader error";
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
  handle_ = ::dlopen(AsFilePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) throw RunnerError("cannot load plug-in " + path + ": " + LoaderError());
  try {
    ::dlerror();
    void* symbol = ::dlsym(handle_, "get_providers");
    if (symbol == nullptr) {
      throw RunnerError(path + " is not a device plug-in: it has no get_providers (" + LoaderError() + ")");
    }
    try {
      providers_ = reinterpret_cast<GetProviders>(symbol)();
    } catch (const std::exception& error) {
      throw RunnerError("get_providers of " + path + " threw: " + error.what());
    }
    for (const auto& provider : providers_) {
      device_provider_ = dynamic_cast<ZRMSocketDeviceProvider*>(provider.get());
      if (device_provider_ != nullptr) break;
    }
    if (device_provider_ == nullptr) {
      throw RunnerError(path + " offers no device provider among its " +
                        std::to_string(providers_.size()) + " providers");
    }
  } catch (...) {
    providers_.clear();
    ::dlclose(handle_);
    throw;
  }
}

PluginLibrary::~PluginLibrary() {
  DeleteDevices();
  device_provider_ = nullptr;
  providers_.clear();
  ::dlclose(handle_);
}

ZRMSocketDevice& PluginLibrary::CreateDevice() {
  ZRMSocketDevice* device = nullptr;
  try {
    device = device_provider_->create();
  } catch (const std::exception& error) {
    throw RunnerError("the device provider of " + path_ + " threw: " + error.what());
  }
  if (device == nullptr) throw RunnerError("the device provider of " + path_ + " made no device");
  devices_.emplace_back(device);
  return *device;
}

void* PluginLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

void PluginLibrary::DeleteDevices() {
  // Newest first, the reverse of creation.
  while (!devices_.empty()) devices_.pop_back();
}

}  // namespace qiraoid
