#include "connection_slots.h"

#include <utility>

namespace qiraoid {

std::optional<ConnectionSlots::Id> ConnectionSlots::Open(Close close) {
  if (slots_.size() >= most_ && !CloseLongestWaiting()) return std::nullopt;
  const Id id = next_++;
  slots_.emplace(id, Slot{std::move(close), std::nullopt});
  Waiting(id);
  return id;
}

void ConnectionSlots::Waiting(Id id) {
  const auto found = slots_.find(id);
  if (found == slots_.end()) return;
  StopWaiting(found->second);
  found->second.waiting = waiting_.insert(waiting_.end(), id);
}

void ConnectionSlots::Answering(Id id) {
  const auto found = slots_.find(id);
  if (found != slots_.end()) StopWaiting(found->second);
}

void ConnectionSlots::Gone(Id id) {
  const auto found = slots_.find(id);
  if (found == slots_.end()) return;
  StopWaiting(found->second);
  slots_.erase(found);
}

void ConnectionSlots::StopWaiting(Slot& slot) {
  if (!slot.waiting) return;
  waiting_.erase(*slot.waiting);
  slot.waiting.reset();
}

bool ConnectionSlots::CloseLongestWaiting() {
  if (waiting_.empty()) return false;
  const auto found = slots_.find(waiting_.front());
  waiting_.pop_front();
  Close close = std::move(found->second.close);
  slots_.erase(found);  // forgotten before it closes, so the room is there at once
  close();
  return true;
}

}  // namespace qiraoid
