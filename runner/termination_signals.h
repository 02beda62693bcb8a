// Turns SIGINT and SIGTERM into a call of on_stop, made from a thread of its own, so the host can
// stop its devices cleanly. Construct it before any other thread starts: the plug-in's threads
// inherit the blocked signals and leave them to this one.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include <signal.h>

namespace qiraoid {

class TerminationSignals {
 public:
  explicit TerminationSignals(std::function<void(int)> on_stop);
  ~TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

  // Stops listening and restores the signals' default action in this thread, so a second signal
  // while devices are being stopped ends the process at once.
  void Release();

 private:
  void Listen();

  std::function<void(int)> on_stop_;
  sigset_t signals_;
  std::atomic<bool> released_{false};
  std::thread thread_;
};

}  // namespace qiraoid
