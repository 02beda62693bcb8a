// SamplingStop: tells a sampling thread to stop. Raising it ends a pause at once and makes its
// descriptor readable, so a thread blocked waiting for an agent's answer wakes too.
// Threads: Raise, raised and fd from any thread; WaitFor from the sampling thread.
#pragma once

#include <atomic>
#include <chrono>

#include "mutex.h"

namespace qiraoid {

class SamplingStop {
 public:
  SamplingStop();  // throws std::system_error when no descriptor can be had
  ~SamplingStop();
  SamplingStop(const SamplingStop&) = delete;
  SamplingStop& operator=(const SamplingStop&) = delete;

  void Raise() EXCLUDES(mutex_);
  bool raised() const { return raised_.load(); }
  // Pauses for the given time or until raised; true when raised.
  bool WaitFor(std::chrono::milliseconds pause) EXCLUDES(mutex_);
  int fd() const { return fd_; }

 private:
  // Raised under the lock, so that a wait never misses it between its check and its sleep; read
  // without it by raised().
  std::atomic<bool> raised_{false};
  Mutex mutex_;
  CondVar wake_;
  int fd_;
};

}  // namespace qiraoid
