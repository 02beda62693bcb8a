// The driver's figures and stop for tools that run the plug-in outside the closed host (driver_entry_points.h).
// The host's interface stays as it is: these are extra entry points it never looks up.
#include <type_traits>

#include "driver_entry_points.h"
#include "snmp_qiraoid.h"

extern "C" __attribute__((visibility("default"))) bool qiraoid_driver_figures(
    const ZRMVDevice* device, qiraoid::DriverFigures* figures) {
  const auto* cabinet = dynamic_cast<const SNMP_QIRAOID*>(device);
  if (cabinet == nullptr || figures == nullptr) return false;
  *figures = cabinet->DriverFigures();
  return true;
}

extern "C" __attribute__((visibility("default"))) bool qiraoid_watch_driver(
    ZRMVDevice* device, qiraoid::DriverWatcher* watcher) {
  auto* cabinet = dynamic_cast<SNMP_QIRAOID*>(device);
  if (cabinet == nullptr) return false;
  cabinet->WatchDriver(watcher);
  return true;
}

extern "C" __attribute__((visibility("default"))) bool qiraoid_stop_driver(ZRMVDevice* device) {
  auto* cabinet = dynamic_cast<SNMP_QIRAOID*>(device);
  if (cabinet == nullptr) return false;
  cabinet->StopPolling();
  return true;
}

// All match the types the tools look them up by.
static_assert(std::is_same_v<decltype(&qiraoid_driver_figures), qiraoid::DriverFiguresFunction>);
static_assert(std::is_same_v<decltype(&qiraoid_watch_driver), qiraoid::WatchDriverFunction>);
static_assert(std::is_same_v<decltype(&qiraoid_stop_driver), qiraoid::StopDriverFunction>);
