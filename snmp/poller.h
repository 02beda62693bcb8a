// Poller: one device's polling of its agent, without the host. It keeps what lasts from pass to
// pass and makes every decision of the pass loop: the agent link (round trip, SNMPv3 engine, found
// again when the access settings change), the agent's health and its lines, the bulk rest
// (kFirstBulkRest, doubling with each refusal in a row up to kLongestBulkRest, reset by a complete
// bulk pass), the access settings and their session template, the shape of the next pass, the
// pause after a pass (kPauseAfterPass), and the driver's figures. Time and pauses come from a PollClock, sessions from a
// SessionOpener; the device it polls for is a PollTarget.
// Threads: Pass and Run on the polling thread only; the settings, the figures and Stop from any.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "access_settings.h"
#include "agent_health.h"
#include "driver_book.h"
#include "mutex.h"
#include "poll_clock.h"
#include "poll_target.h"
#include "sampling_stop.h"
#include "session_opener.h"
#include "snmp_session.h"

namespace qiraoid {

class Poller {
 public:
  enum class Walked { kNotTried, kIncomplete, kComplete };
  static constexpr std::chrono::seconds kPauseAfterPass{5};
  static constexpr std::chrono::seconds kFirstBulkRest = std::chrono::minutes(1);
  static constexpr std::chrono::seconds kLongestBulkRest = std::chrono::hours(1);

  // Starts with the default access settings and one binding per request. Both outlive the poller.
  Poller(PollClock& clock, SessionOpener& opener);

  // The access settings from the next pass on; null: none usable, so no polling. A pass facing a
  // silent agent ends when they change, so that new credentials are tried at once.
  void UseAccess(std::shared_ptr<const AccessSettings> access) EXCLUDES(access_mutex_);
  bool has_access() const EXCLUDES(access_mutex_);
  // For tests: a copy of the template each pass opens its session from; its texts point into the
  // settings.
  netsnmp_session TEST_SessionTemplate() const EXCLUDES(access_mutex_);
  // Bindings per request in the bulk shape; 0: one binding per request.
  void SetMaxRepetitions(long repetitions) { max_repetitions_.store(repetitions); }
  long TEST_max_repetitions() const { return max_repetitions_.load(); }

  DriverFigures Figures() const { return figures_.Copy(); }
  void Watch(DriverWatcher* watcher) { figures_.Watch(watcher); }

  // Ends the loop, waking it from a pause or an exchange; for good.
  void Stop() { stop_.Raise(); }

  // One pass over the aimed table; its figures are counted when it was tried.
  Walked Pass(const PassAim& aim, PollTarget& target);
  // `pass`, then a pause of kPauseAfterPass, until stopped.
  void Run(const std::function<void()>& pass);

 private:
  class PassRelay;  // one pass's requests and store, for the walk
  Walked WalkOnce(const PassAim& aim, PollTarget& target) EXCLUDES(access_mutex_);
  RequestShape ShapeOfNextPass();
  void RestFromBulk(PollTarget& target, const std::string& who, const char* cause);
  void Tell(const PassAim& aim, PollTarget& target, const std::optional<std::string>& line);
  // "device 12 agent udp:...", the start of the agent's lines.
  static std::string WhoIs(const PassAim& aim);

  PollClock& clock_;
  SessionOpener& opener_;
  std::atomic<long> max_repetitions_{0};

  // UseAccess replaces the settings and the template while a pass may be opening its session.
  mutable Mutex access_mutex_;
  std::shared_ptr<const AccessSettings> access_ GUARDED_BY(access_mutex_);
  netsnmp_session session_ GUARDED_BY(access_mutex_);
  std::atomic<unsigned> access_changes_{0};  // counted under the lock; a pass reads it without, to notice a change

  // The polling thread's only.
  AgentLink link_;
  unsigned link_access_changes_ = 0;  // the access settings link_'s engine was found with
  AgentHealth health_;
  PollClock::Steady::time_point bulk_again_at_;  // when the bulk shape is tried again
  std::chrono::seconds bulk_rest_{0};            // the last rest; 0 after a complete bulk pass

  DriverBook figures_;
  SamplingStop stop_;
};

}  // namespace qiraoid
