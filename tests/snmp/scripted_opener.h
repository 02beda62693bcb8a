// ScriptedOpener: a SessionOpener whose sessions answer from a script instead of a socket. Each
// request goes to the script, which may act as time passing or as another thread would (move a
// fake clock, change settings, stop the poller) before its outcome; an exchange whose stop
// descriptor is readable is stopped, as a real session's is. One discovery per empty engine.
// Used by one thread.
#pragma once

#include <poll.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "canned_exchange.h"
#include "session_opener.h"

namespace qiraoid {

class ScriptedOpener final : public SessionOpener {
 public:
  struct Request {
    Name name;
    RequestShape shape;
  };
  struct Opened {
    std::string community;
    long timeout_us;
    bool engine_known;  // the link held an engine from an earlier pass
  };
  using Script = std::function<AgentExchange::Result(const Request&)>;

  explicit ScriptedOpener(Script script) : script_(std::move(script)) {}

  std::unique_ptr<AgentExchange> Open(netsnmp_session& settings, const RetransmissionRule&, AgentLink& link,
                                      int stop_fd, std::string*) override {
    opened_.push_back({std::string(reinterpret_cast<const char*>(settings.community), settings.community_len),
                       settings.timeout, !link.engine_id.empty()});
    return std::make_unique<Session>(*this, link, stop_fd);
  }

  const std::vector<Request>& requests() const { return requests_; }
  const std::vector<Opened>& opened() const { return opened_; }
  int discoveries() const { return discoveries_; }

 private:
  class Session final : public AgentExchange {
   public:
    Session(ScriptedOpener& opener, AgentLink& link, int stop_fd) : opener_(opener), link_(link), stop_fd_(stop_fd) {}
    Result GetBulk(const oid* name, size_t name_length, RequestShape shape) override {
      if (link_.engine_id.empty()) {
        ++opener_.discoveries_;
        link_.engine_id = "scripted engine";
      }
      opener_.requests_.push_back({Name(name, name + name_length), shape});
      Result exchange = opener_.script_(opener_.requests_.back());
      pollfd stop{stop_fd_, POLLIN, 0};
      if (poll(&stop, 1, 0) == 1) return {Outcome::kStopped, nullptr};
      return exchange;
    }

   private:
    ScriptedOpener& opener_;
    AgentLink& link_;
    const int stop_fd_;
  };

  Script script_;
  std::vector<Request> requests_;
  std::vector<Opened> opened_;
  int discoveries_ = 0;
};

}  // namespace qiraoid
