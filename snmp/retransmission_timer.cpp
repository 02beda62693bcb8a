#include "retransmission_timer.h"

#include <algorithm>

namespace qiraoid {

using std::chrono::microseconds;

namespace {

constexpr microseconds kFirstRto{1000 * 1000};  // RFC 6298, before any measurement
constexpr microseconds kClockGranularity{1000};  // G: the waits are counted in milliseconds

}  // namespace

void RoundTripEstimate::Sample(microseconds round_trip) {
  backed_off_ = microseconds(0);
  if (!smoothed_) {
    smoothed_ = round_trip;
    variation_ = round_trip / 2;
    return;
  }
  const microseconds error = *smoothed_ > round_trip ? *smoothed_ - round_trip : round_trip - *smoothed_;
  variation_ = (3 * variation_ + error) / 4;
  smoothed_ = (7 * *smoothed_ + round_trip) / 8;
}

microseconds RoundTripEstimate::Rto() const {
  const microseconds estimated = smoothed_ ? *smoothed_ + std::max(kClockGranularity, 4 * variation_) : kFirstRto;
  return std::max(estimated, backed_off_);
}

RetransmissionSchedule::RetransmissionSchedule(const RetransmissionRule& rule, const RoundTripEstimate& estimate,
                                               RetransmissionClock::time_point first_send)
    : rule_(rule),
      wait_(rule.adaptive ? std::min(std::max(estimate.Rto(), kShortestRto), rule.timeout) : rule.timeout),
      silent_at_(first_send + rule.timeout * (rule.retries + 1)) {
  if (rule_.adaptive || rule_.retries > 0) next_send_ = first_send + wait_;
  if (next_send_ && *next_send_ >= silent_at_) next_send_.reset();
}

void RetransmissionSchedule::Resent(RetransmissionClock::time_point now) {
  ++retransmissions_;
  if (rule_.adaptive) {
    wait_ = std::min(2 * wait_, rule_.timeout);
  } else if (retransmissions_ >= rule_.retries) {
    next_send_.reset();
    return;
  }
  next_send_ = now + wait_;
  if (*next_send_ >= silent_at_) next_send_.reset();
}

}  // namespace qiraoid
