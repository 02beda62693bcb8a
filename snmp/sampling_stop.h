// SamplingStop: tells a sampling thread to stop. Raising it ends a pause at once and makes its
// descriptor readable, so a thread blocked waiting for an agent's answer wakes too.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qiraoid {

class SamplingStop {
 public:
  SamplingStop();  // throws std::system_error when no descriptor can be had
  ~SamplingStop();
  SamplingStop(const SamplingStop&) = delete;
  SamplingStop& operator=(const SamplingStop&) = delete;

  void Raise();
  bool raised() const { return raised_.load(); }
  // Pauses for the given time or until raised; true when raised.
  bool WaitFor(std::chrono::milliseconds pause);
  int fd() const { return fd_; }

 private:
  std::atomic<bool> raised_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  int fd_;
};

}  // namespace qiraoid
