// The plug-in exports two functions for tools that run it outside the closed host, which the host
// never calls: one copies a device's figures (driver_figures.h), the other sets a watcher told of
// each change of the agent's state that the device logs.
#pragma once

#include "driver_figures.h"

class ZRMVDevice;

namespace qiraoid {

// The exported functions: false for a device that is not this plug-in's. A watcher stays set
// until replaced; once a call with null returns, the old watcher is no longer called.
using DriverFiguresFunction = bool (*)(const ZRMVDevice* device, DriverFigures* figures);
using WatchDriverFunction = bool (*)(ZRMVDevice* device, DriverWatcher* watcher);
inline constexpr char kDriverFiguresSymbol[] = "qiraoid_driver_figures";
inline constexpr char kWatchDriverSymbol[] = "qiraoid_watch_driver";

}  // namespace qiraoid
