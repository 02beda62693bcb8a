// The plug-in exports three functions for tools that run it outside the closed host, which the host
// never calls: one copies a device's figures (driver_figures.h), one sets a watcher told of each
// change of the agent's state that the device logs, and one asks a device's polling to end without
// waiting for it, so that a tool stopping many devices has them all wind down at once before it
// deletes them one after the other as the host does: each deletion then joins a thread that is
// ending already rather than one still busy with its pass.
#pragma once

#include "driver_figures.h"

class ZRMVDevice;

namespace qiraoid {

// The exported functions: false for a device that is not this plug-in's. A watcher stays set
// until replaced; once a call with null returns, the old watcher is no longer called.
using DriverFiguresFunction = bool (*)(const ZRMVDevice* device, DriverFigures* figures);
using WatchDriverFunction = bool (*)(ZRMVDevice* device, DriverWatcher* watcher);
using StopDriverFunction = bool (*)(ZRMVDevice* device);
inline constexpr char kDriverFiguresSymbol[] = "qiraoid_driver_figures";
inline constexpr char kWatchDriverSymbol[] = "qiraoid_watch_driver";
inline constexpr char kStopDriverSymbol[] = "qiraoid_stop_driver";

}  // namespace qiraoid
