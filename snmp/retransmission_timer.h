// When an exchange sends its request again, and when it is silent. A device keeps one
// RoundTripEstimate from pass to pass; each exchange follows one RetransmissionSchedule.
//
// Adaptive (the default): the time-out follows the link as TCP's does (RFC 6298): SRTT and
// RTTVAR from answered exchanges, no sample from an exchange that was sent more than once (Karn),
// RTO = SRTT + 4 RTTVAR, at least kShortestRto, doubled at each retransmission (and kept doubled
// until the next sample), never longer than timeout_seconds. Fixed: a retransmission every timeout_seconds, `retries` of them.
// Either way the exchange is silent when timeout_seconds x (retries + 1) pass from the first send.
// Used by one thread at a time.
#pragma once

#include <chrono>
#include <optional>

namespace qiraoid {

using RetransmissionClock = std::chrono::steady_clock;

// As a device's access settings say (AccessSettings holds the defaults).
struct RetransmissionRule {
  bool adaptive;
  std::chrono::microseconds timeout;
  int retries;
};

class RoundTripEstimate {
 public:
  // A round trip measured on an exchange answered at its first send; it ends any backing off.
  void Sample(std::chrono::microseconds round_trip);
  // The wait a retransmission has doubled to, kept for the next exchanges until a new sample.
  void BackOff(std::chrono::microseconds wait) { backed_off_ = wait; }
  // RFC 6298's RTO, before the floor and the ceiling; 1 s before the first sample.
  std::chrono::microseconds Rto() const;

 private:
  std::optional<std::chrono::microseconds> smoothed_;  // SRTT
  std::chrono::microseconds variation_{0};             // RTTVAR
  std::chrono::microseconds backed_off_{0};
};

class RetransmissionSchedule {
 public:
  // The shortest adaptive wait: below it, an agent busy with a 100-binding answer on a loaded
  // controller would be asked again while it is still answering.
  static constexpr std::chrono::microseconds kShortestRto{100 * 1000};

  RetransmissionSchedule(const RetransmissionRule& rule, const RoundTripEstimate& estimate,
                         RetransmissionClock::time_point first_send);

  // When to send again; nothing once the rule allows no further retransmission.
  std::optional<RetransmissionClock::time_point> next_send() const { return next_send_; }
  RetransmissionClock::time_point silent_at() const { return silent_at_; }
  // The request was sent again at `now`.
  void Resent(RetransmissionClock::time_point now);
  // The wait before the next send.
  std::chrono::microseconds wait() const { return wait_; }

 private:
  const RetransmissionRule rule_;
  std::chrono::microseconds wait_;
  int retransmissions_ = 0;
  std::optional<RetransmissionClock::time_point> next_send_;
  RetransmissionClock::time_point silent_at_;
};

}  // namespace qiraoid
