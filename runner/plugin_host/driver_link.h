// The plug-in's own entry points for its driver figures (driver_entry_points.h), when it has them: a
// plug-in without them runs as before, with no figures. Bound once, before any device starts;
// then read from any thread.
#pragma once

#include <optional>

#include "driver_entry_points.h"
#include "plugin_library.h"

namespace qiraoid {

class DriverLink {
 public:
  void Bind(const PluginLibrary& library);

  // Nothing for a plug-in or a device without figures.
  std::optional<DriverFigures> Figures(const ZRMVDevice& device) const;
  // Whether the device will tell the watcher of its agent's changes.
  bool Watch(ZRMVDevice& device, DriverWatcher* watcher) const;
  // Asks the device's polling to end without waiting for it; nothing for a plug-in without it.
  void Stop(ZRMVDevice& device) const;

 private:
  DriverFiguresFunction figures_ = nullptr;
  WatchDriverFunction watch_ = nullptr;
  StopDriverFunction stop_ = nullptr;
};

}  // namespace qiraoid
