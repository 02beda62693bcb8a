#include "driver_book.h"

namespace qiraoid {

template <typename Count>
void DriverBook::Add(Count count) {
  MutexLock guard(&mutex_);
  count(figures_.totals);
  count(pass_);
}

void DriverBook::BeginPass() {
  MutexLock guard(&mutex_);
  pass_ = PassFigures();
}

void DriverBook::CountRequest() {
  Add([](PassFigures& figures) { ++figures.requests; });
}

void DriverBook::CountRetransmissions(uint64_t count) {
  Add([count](PassFigures& figures) { figures.retransmissions += count; });
}

void DriverBook::CountSilence() {
  Add([](PassFigures& figures) { ++figures.silences; });
}

void DriverBook::CountBulkGiveUp() {
  Add([](PassFigures& figures) { ++figures.bulk_give_ups; });
}

void DriverBook::EndPass(std::chrono::steady_clock::duration took) {
  const double seconds = std::chrono::duration<double>(took).count();
  MutexLock guard(&mutex_);
  ++figures_.passes;
  pass_.seconds = seconds;
  figures_.totals.seconds += seconds;
  figures_.last_pass = pass_;
}

void DriverBook::SetAgent(const std::optional<std::string>& cause) {
  MutexLock guard(&mutex_);
  figures_.agent = cause ? AgentState::kFailing : AgentState::kAnswering;
  figures_.cause = cause.value_or("");
}

DriverFigures DriverBook::Copy() const {
  MutexLock guard(&mutex_);
  return figures_;
}

void DriverBook::Watch(DriverWatcher* watcher) {
  MutexLock guard(&mutex_);
  watcher_ = watcher;
}

void DriverBook::Tell(const AgentChange& change) const {
  MutexLock guard(&mutex_);
  if (watcher_ != nullptr) watcher_->OnAgentChange(change);
}

}  // namespace qiraoid
