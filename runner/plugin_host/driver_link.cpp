#include "driver_link.h"

namespace qiraoid {

void DriverLink::Bind(const PluginLibrary& library) {
  figures_ = reinterpret_cast<DriverFiguresFunction>(library.Symbol(kDriverFiguresSymbol));
  watch_ = reinterpret_cast<WatchDriverFunction>(library.Symbol(kWatchDriverSymbol));
  stop_ = reinterpret_cast<StopDriverFunction>(library.Symbol(kStopDriverSymbol));
}

std::optional<DriverFigures> DriverLink::Figures(const ZRMVDevice& device) const {
  DriverFigures figures;
  if (figures_ == nullptr || !figures_(&device, &figures)) return std::nullopt;
  return figures;
}

bool DriverLink::Watch(ZRMVDevice& device, DriverWatcher* watcher) const {
  return watch_ != nullptr && watch_(&device, watcher);
}

void DriverLink::Stop(ZRMVDevice& device) const {
  if (stop_ != nullptr) stop_(&device);
}

}  // namespace qiraoid
