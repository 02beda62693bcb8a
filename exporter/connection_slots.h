// The metrics server's connections, at most a fixed number at once. Those waiting for a whole
// request are kept in the order they began to wait, so that a new connection at the cap closes the
// one that has waited longest rather than being turned away: idle or half-sent clients, however
// many, cannot keep a scrape out.
// Threads: one thread only (the server's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <optional>

namespace qiraoid {

class ConnectionSlots {
 public:
  using Id = std::uint64_t;
  using Close = std::function<void()>;  // closes the connection's socket; called at most once

  explicit ConnectionSlots(std::size_t most) : most_(most) {}

  // A slot for a new connection, waiting for its first request. At the cap, the connection that
  // has waited longest is closed (and forgotten) first; none when every one is busy answering.
  std::optional<Id> Open(Close close);
  // The connection began waiting for a (next) request.
  void Waiting(Id id);
  // A whole request came: the connection is answering and is not closed to make room.
  void Answering(Id id);
  // The connection is gone; nothing when it was closed here already.
  void Gone(Id id);

  // For tests: how many connections hold a slot.
  std::size_t TEST_open() const { return slots_.size(); }

 private:
  struct Slot {
    Close close;
    std::optional<std::list<Id>::iterator> waiting;  // its place in waiting_, while it waits
  };

  void StopWaiting(Slot& slot);
  bool CloseLongestWaiting();

  std::size_t most_;
  Id next_ = 1;
  std::map<Id, Slot> slots_;
  std::list<Id> waiting_;  // longest waiting first
};

}  // namespace qiraoid
