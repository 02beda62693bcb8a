// DriverBook: a device's DriverFigures as they grow, with one place for each figure to count.
// The sampling thread counts; any thread may copy the figures or set the watcher.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "driver_figures.h"
#include "mutex.h"

namespace qiraoid {

class DriverBook {
 public:
  void BeginPass() EXCLUDES(mutex_);
  void CountRequest() EXCLUDES(mutex_);
  void CountRetransmissions(uint64_t count) EXCLUDES(mutex_);
  void CountSilence() EXCLUDES(mutex_);
  void CountBulkGiveUp() EXCLUDES(mutex_);
  // The pass's figures become the last pass's.
  void EndPass(std::chrono::steady_clock::duration took) EXCLUDES(mutex_);
  // The agent's state after a pass or an exchange: answering without a cause, failing with one.
  void SetAgent(const std::optional<std::string>& cause) EXCLUDES(mutex_);

  DriverFigures Copy() const EXCLUDES(mutex_);
  void Watch(DriverWatcher* watcher) EXCLUDES(mutex_);
  // Tells the watcher, if any, under the book's lock: once Watch(nullptr) returns, the watcher is
  // no longer called.
  void Tell(const AgentChange& change) const EXCLUDES(mutex_);

 private:
  template <typename Count>
  void Add(Count count) EXCLUDES(mutex_);

  mutable Mutex mutex_;
  DriverFigures figures_ GUARDED_BY(mutex_);
  PassFigures pass_ GUARDED_BY(mutex_);  // the pass under way
  DriverWatcher* watcher_ GUARDED_BY(mutex_) = nullptr;
};

}  // namespace qiraoid
