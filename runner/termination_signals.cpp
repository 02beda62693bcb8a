#include "termination_signals.h"

#include <pthread.h>

namespace qiraoid {

TerminationSignals::TerminationSignals(std::function<void(int)> on_stop)
    : on_stop_(std::move(on_stop)) {
  sigemptyset(&signals_);
  sigaddset(&signals_, SIGINT);
  sigaddset(&signals_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
  thread_ = std::thread([this] { Listen(); });
}

TerminationSignals::~TerminationSignals() { Release(); }

void TerminationSignals::Release() {
  if (released_.exchange(true)) return;
  // Wakes the listener; it sees released_ and ends without calling on_stop.
  pthread_kill(thread_.native_handle(), SIGTERM);
  thread_.join();
  pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
}

void TerminationSignals::Listen() {
  for (;;) {
    int signal = 0;
    if (sigwait(&signals_, &signal) != 0) continue;
    if (released_.load()) return;
    on_stop_(signal);
  }
}

}  // namespace qiraoid
