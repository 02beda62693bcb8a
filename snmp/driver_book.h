// DriverBook: a device's DriverFigures as they grow, with one place for each figure to count.
// The sampling thread counts; any thread may copy the figures or set the watcher.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>
#include <string>

#include "driver_figures.h"

namespace qiraoid {

class DriverBook {
 public:
  void BeginPass();
  void CountRequest();
  void CountRetransmissions(uint64_t count);
  void CountSilence();
  void CountBulkGiveUp();
  // The pass's figures become the last pass's.
  void EndPass(std::chrono::steady_clock::duration took);
  // The agent's state after a pass or an exchange: answering without a cause, failing with one.
  void SetAgent(const std::optional<std::string>& cause);

  DriverFigures Copy() const;
  void Watch(DriverWatcher* watcher);
  // Tells the watcher, if any, under the book's lock: once Watch(nullptr) returns, the watcher is
  // no longer called.
  void Tell(const AgentChange& change) const;

 private:
  template <typename Count>
  void Add(Count count);

  mutable std::mutex mutex_;
  DriverFigures figures_;
  PassFigures pass_;  // the pass under way
  DriverWatcher* watcher_ = nullptr;
};

}  // namespace qiraoid
